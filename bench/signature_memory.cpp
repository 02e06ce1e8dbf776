// The peak memory of checking an update's signature: a sparse download of GIGABYTES (default 3),
// a few random blocks among its holes, signed with a fresh key, its signature checked by
// EdDSA::verify in a process of its own. Prints that process's peak resident memory (VmHWM)
// beside the 100 MB the check must stay under, and exits 1 when it does not or the signature is
// not accepted. Works in a temporary folder only.
//
//   build/bin/signature_memory [GIGABYTES]

#include "ProcessStatus.h"
#include "ToolSupport.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/updates/UpdateVerdict.h>

#include <sodium.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

using namespace dovrane;
using bench::statusKilobytes;

namespace {

constexpr long limitKilobytes = 100 * 1000;
constexpr std::size_t pieceBytes = 1 << 20;

std::string base64(const unsigned char* bytes, std::size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // the terminating zero
    return text;
}

// SHA-512 of prefix and then the whole file, read in pieces, reduced to a scalar.
std::optional<std::array<unsigned char, 32>> hashedScalar(const unsigned char* prefix, std::size_t prefixSize,
                                                          const std::string& file) {
    const int fd = Fs::openForReading(file);
    if (fd < 0)
        return std::nullopt;
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, prefix, prefixSize);
    auto piece = std::make_unique<unsigned char[]>(pieceBytes);
    ssize_t got = 0;
    while ((got = read(fd, piece.get(), pieceBytes)) > 0)
        crypto_hash_sha512_update(&state, piece.get(), static_cast<unsigned long long>(got));
    close(fd);
    if (got < 0)
        return std::nullopt;
    unsigned char digest[crypto_hash_sha512_BYTES];
    crypto_hash_sha512_final(&state, digest);
    std::array<unsigned char, 32> scalar;
    crypto_core_ed25519_scalar_reduce(scalar.data(), digest);
    return scalar;
}

// An Ed25519 signature of the file as crypto_sign_detached makes it, with the file read in
// pieces twice (for the nonce, then for the challenge) instead of held in memory.
std::optional<std::string> sign(const std::string& file, const unsigned char* secretKey) {
    unsigned char expanded[crypto_hash_sha512_BYTES];
    crypto_hash_sha512(expanded, secretKey, crypto_sign_SEEDBYTES);
    expanded[0] &= 248;
    expanded[31] &= 127;
    expanded[31] |= 64;
    unsigned char wide[crypto_core_ed25519_NONREDUCEDSCALARBYTES] = {};
    std::copy_n(expanded, 32, wide);
    unsigned char secretScalar[32];
    crypto_core_ed25519_scalar_reduce(secretScalar, wide);

    const auto nonce = hashedScalar(expanded + 32, 32, file);
    if (!nonce)
        return std::nullopt;
    unsigned char signature[crypto_sign_BYTES];
    if (crypto_scalarmult_ed25519_base_noclamp(signature, nonce->data()) != 0)
        return std::nullopt;
    unsigned char committed[64];
    std::copy_n(signature, 32, committed);
    std::copy_n(secretKey + crypto_sign_SEEDBYTES, 32, committed + 32);
    const auto challenge = hashedScalar(committed, sizeof committed, file);
    if (!challenge)
        return std::nullopt;
    unsigned char product[32];
    crypto_core_ed25519_scalar_mul(product, challenge->data(), secretScalar);
    crypto_core_ed25519_scalar_add(signature + 32, nonce->data(), product);
    return base64(signature, sizeof signature);
}

// The download: holes but for a random block at its start, in its middle and at its end, so
// that a piece left out or read twice changes what is signed.
bool makeDownload(const std::string& file, std::uint64_t size) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = ftruncate(fd, off_t(size)) == 0;
    std::array<unsigned char, 4096> block;
    for (std::uint64_t offset : {std::uint64_t(0), size / 2 + 123, size - block.size()}) {
        randombytes_buf(block.data(), block.size());
        written = written && pwrite(fd, block.data(), block.size(), off_t(offset)) == ssize_t(block.size());
    }
    return close(fd) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    // --verify is how the program checks the signature in a process of its own.
    const tool::Forms forms("signature_memory", {{"[GIGABYTES]"}, {"--verify", "FILE", "SIGNATURE", "KEY"}},
                            "GIGABYTES: the size of the download, 3 unless given");
    const auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 1) {
        const auto started = std::chrono::steady_clock::now();
        const bool accepted = EdDSA::verify(Url::fromPath(args[1]), args[2], args[3]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const long peak = statusKilobytes("VmHWM");
        std::printf("  check:     %s in %.1f s, peak resident memory %.1f MB (limit %.0f MB)\n",
                    accepted ? "accepted" : "REFUSED", seconds, double(peak) / 1000.0, double(limitKilobytes) / 1000.0);
        return accepted && peak < limitKilobytes ? tool::success : tool::failure;
    }
    const auto gigabytes = forms.number(args, 0, "GIGABYTES", 3, 1, 64);
    if (!gigabytes)
        return tool::usageError;
    if (sodium_init() < 0)
        return tool::fail(forms.program(), "libsodium cannot start");
    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-signature-bench-");
    if (!folder)
        return tool::fail(forms.program(), "cannot make a folder in " + Fs::temporaryDirectory());
    const std::string file = Path::join(*folder, "update.zip");
    const std::uint64_t size = std::uint64_t(*gigabytes) << 30;

    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES], secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    std::printf("A sparse download of %lld GiB:\n", *gigabytes);
    std::fflush(stdout);
    const auto signature = makeDownload(file, size) ? sign(file, secretKey) : std::nullopt;
    int status = -1;
    if (signature) {
        const pid_t child = fork();
        if (child == 0) {
            const std::string key = base64(publicKey, sizeof publicKey);
            execl("/proc/self/exe", "signature_memory", "--verify", file.c_str(), signature->c_str(), key.c_str(),
                  static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        if (child > 0)
            waitpid(child, &status, 0);
    }
    Fs::removeAll(*folder);
    if (!signature)
        return tool::fail(forms.program(), "cannot make and sign the download in " + *folder);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? tool::success : tool::failure;
}
