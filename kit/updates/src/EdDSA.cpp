// The download's Ed25519 signature, checked while the file is read in pieces. The signature
// covers every byte of an archive that may be several gigabytes, and libsodium's one call wants
// the whole message in memory. So its check runs here step by step, through its public
// primitives: the same refusals of non-canonical and small-order values, the same hash of R, the
// key and the file, the same equation; a signature passes exactly when crypto_sign_verify_detached
// would pass it.

#include "DovraneKit/updates/UpdateVerdict.h"

#include "DovraneKit/system/FileSystem.h"
#include "core/SodiumSupport.h"

#include <sodium.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <optional>

namespace dovrane {

namespace {

// A point's encoding or a scalar, little-endian.
using Bytes32 = std::array<unsigned char, 32>;

// The order of the prime-order group, 2^252 + 27742317777372353535851937790883648493.
constexpr Bytes32 groupOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
constexpr Bytes32 identity = {1};
constexpr Bytes32 zero = {};

constexpr std::size_t pieceBytes = 1 << 20;

// Below the group order: S + L would verify too, one signature becoming many.
bool isCanonicalScalar(const Bytes32& s) {
    for (std::size_t i = s.size(); i-- > 0;)
        if (s[i] != groupOrder[i])
            return s[i] < groupOrder[i];
    return false;
}

// y below the field's prime 2^255 - 19, the sign bit of x aside.
bool isCanonicalPoint(const Bytes32& p) {
    if ((p[31] & 0x7f) != 0x7f || p[0] < 0xed)
        return true;
    for (std::size_t i = 1; i < 31; ++i)
        if (p[i] != 0xff)
            return true;
    return false;
}

// Nothing when an encoding is no point of the curve.
std::optional<Bytes32> sum(const Bytes32& p, const Bytes32& q) {
    Bytes32 r;
    if (crypto_core_ed25519_add(r.data(), p.data(), q.data()) != 0)
        return std::nullopt;
    return r;
}

// [n]p by doubling and adding. crypto_scalarmult_ed25519 takes points of the prime-order
// subgroup only; the signature check takes any key on the curve, a small-order part included.
std::optional<Bytes32> multiple(const Bytes32& n, const Bytes32& p) {
    std::optional<Bytes32> result = identity;
    for (std::size_t bit = n.size() * 8; bit-- > 0 && result;) {
        result = sum(*result, *result);
        if (result && (n[bit / 8] >> (bit % 8)) & 1)
            result = sum(*result, p);
    }
    return result;
}

// Of order 1, 2, 4 or 8, y taken modulo the prime; an encoding that is no point has no order.
bool hasSmallOrder(const Bytes32& p) {
    std::optional<Bytes32> eightTimes = p;
    for (int doubling = 0; doubling < 3 && eightTimes; ++doubling)
        eightTimes = sum(*eightTimes, *eightTimes);
    return eightTimes == identity;
}

// Feeds the rest of the file to the hash, a piece at a time.
bool hashFile(int fd, crypto_hash_sha512_state& state) {
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto piece = std::make_unique<unsigned char[]>(pieceBytes);
    for (;;) {
        const ssize_t got = ::read(fd, piece.get(), pieceBytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        crypto_hash_sha512_update(&state, piece.get(), static_cast<unsigned long long>(got));
    }
}

bool verifyFile(int fd, const Bytes32& r, const Bytes32& s, const Bytes32& key) {
    if (!isCanonicalScalar(s) || hasSmallOrder(r))
        return false;
    if (!isCanonicalPoint(key) || hasSmallOrder(key) || !sum(key, identity))
        return false;

    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, r.data(), r.size());
    crypto_hash_sha512_update(&state, key.data(), key.size());
    if (!hashFile(fd, state))
        return false;
    std::array<unsigned char, crypto_hash_sha512_BYTES> digest;
    crypto_hash_sha512_final(&state, digest.data());
    Bytes32 h;
    crypto_core_ed25519_scalar_reduce(h.data(), digest.data());

    // R must be [S]B - [h]A, compared as encodings.
    const std::optional<Bytes32> hA = multiple(h, key);
    Bytes32 sB = identity; // [0]B; libsodium's base multiplication refuses a zero scalar
    if (!hA || (s != zero && crypto_scalarmult_ed25519_base_noclamp(sB.data(), s.data()) != 0))
        return false;
    Bytes32 expected;
    if (crypto_core_ed25519_sub(expected.data(), sB.data(), hA->data()) != 0)
        return false;
    return crypto_verify_32(expected.data(), r.data()) == 0;
}

// Strict standard Base64 that decodes to exactly size bytes, else absent.
std::optional<std::string> decodeBase64(std::string_view text, std::size_t size) {
    auto bytes = sodium::fromBase64(text);
    if (!bytes || bytes->size() != size)
        return std::nullopt;
    return bytes;
}

Bytes32 bytes32(std::string_view bytes) {
    Bytes32 out{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), out.size()), out.begin());
    return out;
}

} // namespace

bool EdDSA::verify(const Url& file, std::string_view signature, std::string_view publicKey) {
    if (!sodium::ready() || !file.isFile())
        return false;
    const auto key = decodeBase64(publicKey, crypto_sign_PUBLICKEYBYTES);
    const auto signatureBytes = decodeBase64(signature, crypto_sign_BYTES);
    if (!key || !signatureBytes)
        return false;
    const int fd = Fs::openForReading(file.path());
    if (fd < 0)
        return false;
    const std::string_view rs(*signatureBytes);
    const bool valid = verifyFile(fd, bytes32(rs.substr(0, 32)), bytes32(rs.substr(32)), bytes32(*key));
    ::close(fd);
    return valid;
}

} // namespace dovrane
