// The download signature check reads the file in pieces and works the equation out itself, so it
// must judge every signature as libsodium's crypto_sign_verify_detached does. Each case here is
// put to both and the two answers compared; the cases hold signatures libsodium accepts and ones
// it refuses only for a non-canonical or small-order value, where the equation itself holds.

#include "DovraneKit/updates/UpdateVerdict.h"

#include "core/SodiumSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <array>
#include <string>

using namespace dovrane;
using dovrane::testing::TempDir;

namespace {

using Bytes32 = std::array<unsigned char, 32>;

const unsigned char* unsignedBytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}
std::string_view view(const Bytes32& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

Bytes32 randomScalar() {
    Bytes32 s;
    crypto_core_ed25519_scalar_random(s.data());
    return s;
}

Bytes32 baseTimes(const Bytes32& scalar) {
    Bytes32 point;
    EXPECT_EQ(crypto_scalarmult_ed25519_base_noclamp(point.data(), scalar.data()), 0);
    return point;
}

Bytes32 plus(const Bytes32& p, const Bytes32& q) {
    Bytes32 r;
    EXPECT_EQ(crypto_core_ed25519_add(r.data(), p.data(), q.data()), 0);
    return r;
}

constexpr Bytes32 identity = {1};
// A point of order 8, the y of 2707385501144840649318225287225658788936804267575313519463743609750303402022.
constexpr Bytes32 orderEight = {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4,
                                0x89, 0xf2, 0xef, 0x98, 0xf0, 0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6,
                                0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05};

// h = SHA-512(R, A, message) reduced modulo the group order, as a verifier computes it.
Bytes32 challenge(const Bytes32& r, const Bytes32& key, std::string_view message) {
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, r.data(), r.size());
    crypto_hash_sha512_update(&state, key.data(), key.size());
    crypto_hash_sha512_update(&state, unsignedBytes(message), message.size());
    unsigned char digest[crypto_hash_sha512_BYTES];
    crypto_hash_sha512_final(&state, digest);
    Bytes32 h;
    crypto_core_ed25519_scalar_reduce(h.data(), digest);
    return h;
}

// S = r + h·a: a signature over message with R by whoever knows a, whatever key bytes it names.
std::string signature(const Bytes32& r, const Bytes32& bigR, const Bytes32& a, const Bytes32& key,
                      std::string_view message) {
    Bytes32 ha, s;
    crypto_core_ed25519_scalar_mul(ha.data(), challenge(bigR, key, message).data(), a.data());
    crypto_core_ed25519_scalar_add(s.data(), r.data(), ha.data());
    return std::string(view(bigR)) + std::string(view(s));
}

class SignatureAgreement : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sodium::ready()); }

    // libsodium's answer, after checking that the check here gives the same.
    bool agreed(const std::string& signatureBytes, const Bytes32& key, const std::string& message) {
        const std::string file = dir / "update.zip";
        dovrane::testing::writeFile(file, message);
        const bool library = crypto_sign_verify_detached(unsignedBytes(signatureBytes), unsignedBytes(message),
                                                         message.size(), key.data()) == 0;
        EXPECT_EQ(EdDSA::verify(Url::fromPath(file), sodium::toBase64(signatureBytes), sodium::toBase64(view(key))),
                  library);
        return library;
    }

    // A message whose challenge under R and key is a multiple of 8, so a small-order part of
    // the key or of R drops out of the equation; found by trying.
    std::string messageWithChallengeOfEight(const Bytes32& r, const Bytes32& key) {
        for (int attempt = 0;; ++attempt) {
            std::string message = "Editor 2.4, attempt " + std::to_string(attempt);
            if ((challenge(r, key, message)[0] & 7) == 0)
                return message;
        }
    }

    TempDir dir;
};

} // namespace

TEST_F(SignatureAgreement, ReadsEveryPieceOfTheFile) {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES], secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    Bytes32 key;
    std::copy_n(publicKey, key.size(), key.begin());
    // Around the size of the pieces the file is read in, and several of them.
    for (std::size_t size : {std::size_t(0), std::size_t(1), (std::size_t(1) << 20) - 1, std::size_t(1) << 20,
                             (std::size_t(1) << 20) + 1, (std::size_t(3) << 20) + 17}) {
        std::string message(size, '\0');
        randombytes_buf(message.data(), size);
        std::string signatureBytes(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signatureBytes.data()), nullptr, unsignedBytes(message),
                             size, secretKey);
        EXPECT_TRUE(agreed(signatureBytes, key, message)) << size;
        if (size > 0) {
            message.back() = char(message.back() ^ 1);
            EXPECT_FALSE(agreed(signatureBytes, key, message)) << size << ", its last byte changed";
        }
    }
}

// S and S + L satisfy the same equation; only S below the group order is taken.
TEST_F(SignatureAgreement, RefusesAScalarAboveTheGroupOrder) {
    const Bytes32 a = randomScalar(), key = baseTimes(a), r = randomScalar();
    const std::string message = "Editor 2.4";
    std::string valid = signature(r, baseTimes(r), a, key, message);
    ASSERT_TRUE(agreed(valid, key, message));

    constexpr Bytes32 groupOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                    0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
    Bytes32 s;
    std::copy_n(unsignedBytes(valid) + 32, 32, s.begin());
    sodium_add(s.data(), groupOrder.data(), s.size());
    const std::string plusOrder = valid.substr(0, 32) + std::string(view(s));
    EXPECT_FALSE(agreed(plusOrder, key, message));
}

// A key with a part of order 8 is on the curve but outside the prime-order group. libsodium
// takes it when that part drops out of the equation, and so must the check here.
TEST_F(SignatureAgreement, TakesAKeyWithASmallOrderPartWhereLibsodiumDoes) {
    const Bytes32 a = randomScalar(), key = plus(baseTimes(a), orderEight), r = randomScalar(), bigR = baseTimes(r);
    const std::string message = messageWithChallengeOfEight(bigR, key);
    EXPECT_TRUE(agreed(signature(r, bigR, a, key, message), key, message));

    std::string other = message + "!";
    while ((challenge(bigR, key, other)[0] & 7) == 0)
        other += "!";
    EXPECT_FALSE(agreed(signature(r, bigR, a, key, other), key, other));
}

// Where the equation holds with a small-order R or key, only the refusal of such values stops it.
TEST_F(SignatureAgreement, RefusesSmallOrderValuesEvenWhereTheEquationHolds) {
    const Bytes32 twice = plus(orderEight, orderEight), fourTimes = plus(twice, twice);
    ASSERT_NE(fourTimes, identity);
    ASSERT_EQ(plus(fourTimes, fourTimes), identity);

    // R is the identity: S = h·a, the key's order-8 part cancelled by a challenge of eight.
    const Bytes32 a = randomScalar(), mixedKey = plus(baseTimes(a), orderEight), zero = {};
    const std::string toIdentity = messageWithChallengeOfEight(identity, mixedKey);
    EXPECT_FALSE(agreed(signature(zero, identity, a, mixedKey, toIdentity), mixedKey, toIdentity));

    // The key is of order 8 itself: S = r makes any R = [r]B hold.
    const Bytes32 r = randomScalar(), bigR = baseTimes(r);
    const std::string toSmallKey = messageWithChallengeOfEight(bigR, orderEight);
    EXPECT_FALSE(agreed(signature(r, bigR, zero, orderEight, toSmallKey), orderEight, toSmallKey));

    // Every small-order encoding, also with the sign bit and as the prime (y = 0) or the prime
    // plus one (y = 1), as R and as the key.
    std::vector<Bytes32> small = {identity};
    for (Bytes32 multiple = orderEight; multiple != identity; multiple = plus(multiple, orderEight))
        small.push_back(multiple);
    Bytes32 prime;
    prime.fill(0xff);
    prime[0] = 0xed;
    prime[31] = 0x7f;
    Bytes32 primePlusOne = prime;
    primePlusOne[0] = 0xee;
    small.push_back(prime);
    small.push_back(primePlusOne);
    for (std::size_t i = 0, count = small.size(); i < count; ++i) {
        Bytes32 signBit = small[i];
        signBit[31] |= 0x80;
        small.push_back(signBit);
    }
    const Bytes32 key = baseTimes(a);
    for (const Bytes32& point : small) {
        const std::string message = "Editor 2.4";
        EXPECT_FALSE(agreed(signature(r, point, a, key, message), key, message)) << "R " << sodium::toHex(view(point));
        EXPECT_FALSE(agreed(signature(r, bigR, zero, point, message), point, message))
            << "key " << sodium::toHex(view(point));
    }
}

// A key whose y is at or above the prime, or that is no point at all, is refused.
TEST_F(SignatureAgreement, RefusesKeysThatAreNotCanonicalOrNoPoint) {
    const Bytes32 r = randomScalar(), bigR = baseTimes(r), a = randomScalar();
    Bytes32 aboveThePrime;
    aboveThePrime.fill(0xff);
    aboveThePrime[0] = 0xef; // the prime plus two
    aboveThePrime[31] = 0x7f;
    const Bytes32 noPoint = {2}; // y = 2 has no x on the curve
    Bytes32 unused;
    ASSERT_NE(crypto_core_ed25519_add(unused.data(), noPoint.data(), noPoint.data()), 0);
    for (const Bytes32& key : {aboveThePrime, noPoint})
        EXPECT_FALSE(agreed(signature(r, bigR, a, key, "Editor 2.4"), key, "Editor 2.4")) << sodium::toHex(view(key));
}
