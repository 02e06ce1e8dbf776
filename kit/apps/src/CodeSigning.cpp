#include "DovraneKit/apps/CodeSigning.h"

#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "core/SodiumSupport.h"
#include "formats/JsonCoding.h"
#include "system/FileTree.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace dovrane {

namespace {

using jsoncoding::DecodeError;
using jsoncoding::ObjectReader;

constexpr std::uint64_t maximumRecordSize = 64ull << 20;
constexpr std::string_view signatureContext = "dovrane-code-signature-1\n";
// Only the executable bits are part of a signature: a read-only copy of a bundle (a mounted
// disk image) is still the same code.
constexpr mode_t recordedModeBits = 0111;

struct Record {
    nlohmann::json json;
    SignatureInfo info;
    std::map<std::string, nlohmann::json> entries; // by encoded path
    std::string signature;                         // raw 64 bytes; empty when ad hoc
};

std::string recordFile(const std::string& bundle) { return Path::join(bundle, CodeSigning::recordPath); }

bool isBundleFolder(const std::string& bundle) {
    struct stat info;
    return stat(bundle.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> hashFile(const std::string& path, const struct stat& expected) {
    int fd = filetree::openRegularFile(path, expected);
    if (fd < 0)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::string buffer(1 << 16, '\0');
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.data()), std::size_t(n));
    }
    close(fd);
    std::string digest(crypto_hash_sha256_BYTES, '\0');
    crypto_hash_sha256_final(&state, reinterpret_cast<unsigned char*>(digest.data()));
    return sodium::toHex(digest);
}

// The manifest entry of one item below the bundle; the file's hash only when asked for.
Expected<nlohmann::json> describe(const std::string& bundle, const filetree::Entry& entry, bool withHash) {
    std::string path = Path::join(bundle, entry.relative);
    nlohmann::json json = {{"path", percentEncodePath(entry.relative)}};
    const mode_t mode = entry.info.st_mode;
    if (S_ISDIR(mode)) {
        json["type"] = "dir";
    } else if (S_ISREG(mode)) {
        json["type"] = "file";
        json["size"] = std::int64_t(entry.info.st_size);
        json["mode"] = std::int64_t(mode & recordedModeBits);
        if (withHash) {
            auto digest = hashFile(path, entry.info);
            if (!digest)
                return Failure{entry.relative + ": the file cannot be read"};
            json["sha256"] = *digest;
        }
    } else if (S_ISLNK(mode)) {
        auto target = Fs::linkTarget(path);
        if (!target)
            return Failure{entry.relative + ": the symbolic link cannot be read"};
        if (!filetree::linkStaysInside(bundle, entry.relative, *target))
            return Failure{entry.relative + ": the symbolic link leaves the bundle"};
        json["type"] = "link";
        json["target"] = percentEncodePath(*target);
    } else {
        return Failure{entry.relative + ": neither a file, a folder nor a symbolic link"};
    }
    return json;
}

bool isRecordItself(const std::string& relative) { return relative == CodeSigning::recordPath; }

std::string signedMessage(nlohmann::json record) {
    record.erase("signature");
    return std::string(signatureContext) + record.dump();
}

Expected<Record> readRecord(const std::string& bundle) {
    std::string path = recordFile(bundle);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return Failure{"the bundle is not signed"};
    if (!S_ISREG(info.st_mode))
        return Failure{"the signature record is not a file"};
    auto text = Fs::readFile(path, maximumRecordSize);
    if (!text)
        return Failure{"the signature record cannot be read"};
    auto decoded = jsoncoding::decode([&] {
        Record record;
        record.json = jsoncoding::parseText(*text);
        ObjectReader reader(record.json, "Signature");
        if (reader.integer("format") != 1)
            throw DecodeError("Signature: unknown format");
        record.info.identifier = reader.optionalString("identifier");
        record.info.adHoc = reader.boolean("adhoc");
        record.info.team = reader.optionalString("team");
        record.info.authority = reader.optionalString("authority");
        auto publicKey = reader.optionalString("publicKey");
        auto signature = reader.optionalString("signature");
        if (record.info.adHoc) {
            if (record.info.team || publicKey || signature)
                throw DecodeError("Signature: an ad-hoc signature names a signer");
        } else {
            auto key = publicKey ? sodium::fromBase64(*publicKey) : std::nullopt;
            auto bytes = signature ? sodium::fromBase64(*signature) : std::nullopt;
            if (!record.info.team || record.info.team->empty() || !key || key->size() != crypto_sign_PUBLICKEYBYTES ||
                !bytes || bytes->size() != crypto_sign_BYTES)
                throw DecodeError("Signature: the signer is incomplete");
            record.info.publicKey = *key;
            record.signature = *bytes;
        }
        for (const auto& element : reader.array("entries")) {
            ObjectReader entry(element, "Signature entry");
            auto entryPath = entry.string("path");
            auto type = entry.string("type");
            if (type == "file") {
                (void)entry.integer("size");
                (void)entry.integer("mode");
                (void)entry.string("sha256");
            } else if (type == "link") {
                (void)entry.string("target");
            } else if (type != "dir") {
                throw DecodeError("Signature entry: unknown type " + type);
            }
            if (!record.entries.emplace(entryPath, element).second)
                throw DecodeError("Signature: " + entryPath + " is listed twice");
        }
        record.info.entryCount = record.entries.size();
        return record;
    });
    if (!decoded)
        return Failure{"the signature record is damaged (" + decoded.error().message + ")"};
    return std::move(decoded).value();
}

// The record's own signature: its key signed exactly what it says.
bool signatureHolds(const Record& record) {
    if (record.info.adHoc)
        return true;
    if (!sodium::ready())
        return false;
    std::string message;
    try {
        message = signedMessage(record.json);
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(record.signature.data()),
                                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                                       reinterpret_cast<const unsigned char*>(record.info.publicKey.data())) == 0;
}

// An ordinary folder inside the bundle to write into; a link in its place is refused.
bool ensureFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string what(const nlohmann::json& entry) {
    auto type = entry.value("type", std::string());
    return type == "dir" ? "folder" : type == "link" ? "symbolic link" : "file";
}

} // namespace

namespace CodeSigning {

Expected<SignatureInfo> sign(const std::string& bundle, const std::string& identityName) {
    if (!sodium::ready())
        return Failure{"the signing library cannot start"};
    if (!isBundleFolder(bundle))
        return Failure{bundle + ": not a bundle folder"};
    std::optional<SigningIdentity> identity;
    if (identityName != adHocIdentity) {
        auto identities = SigningIdentities::load();
        if (!identities)
            return identities.error();
        for (auto& each : *identities)
            if (each.name == identityName)
                identity = std::move(each);
        if (!identity)
            return Failure{identityName + ": no identity found"};
    }
    if (!ensureFolder(Path::join(bundle, "Contents")) || !ensureFolder(Path::join(bundle, "Contents/_CodeSignature")))
        return Failure{bundle + ": the signature folder cannot be created"};

    auto entries = filetree::walk(bundle);
    if (!entries)
        return entries.error();
    nlohmann::json manifest = nlohmann::json::array();
    for (const auto& entry : *entries) {
        if (isRecordItself(entry.relative))
            continue;
        auto described = describe(bundle, entry, true);
        if (!described)
            return described.error();
        manifest.push_back(std::move(described).value());
    }

    SignatureInfo info;
    if (auto plist = Plist::readDictionary(Path::join(bundle, "Contents/Info.plist")))
        info.identifier = Plist::string(*plist, "CFBundleIdentifier");
    info.adHoc = !identity;
    info.entryCount = manifest.size();

    nlohmann::json record = {{"format", 1}, {"adhoc", info.adHoc}, {"entries", std::move(manifest)}};
    jsoncoding::putOptional(record, "identifier", info.identifier);
    std::string text;
    try {
        if (identity) {
            info.team = identity->team;
            info.authority = identity->name;
            info.publicKey = identity->publicKey;
            record["team"] = identity->team;
            record["authority"] = identity->name;
            record["publicKey"] = sodium::toBase64(identity->publicKey);
            std::string message = signedMessage(record);
            std::string signature(crypto_sign_BYTES, '\0');
            crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                                 reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                                 reinterpret_cast<const unsigned char*>(identity->secretKey.data()));
            record["signature"] = sodium::toBase64(signature);
        }
        text = record.dump(1) + "\n";
    } catch (const nlohmann::json::exception&) {
        return Failure{bundle + ": the bundle identifier is not UTF-8 text"};
    }
    if (!Fs::writeFileAtomically(recordFile(bundle), text))
        return Failure{recordFile(bundle) + ": the signature cannot be written"};
    return info;
}

Expected<SignatureInfo> verify(const std::string& bundle) {
    if (!isBundleFolder(bundle))
        return Failure{bundle + ": not a bundle folder"};
    auto record = readRecord(bundle);
    if (!record)
        return record.error();
    if (!signatureHolds(*record))
        return Failure{"the signature record was altered"};

    auto entries = filetree::walk(bundle);
    if (!entries)
        return entries.error();
    std::size_t matched = 0;
    for (const auto& entry : *entries) {
        if (isRecordItself(entry.relative))
            continue;
        auto found = record->entries.find(percentEncodePath(entry.relative));
        if (found == record->entries.end())
            return Failure{entry.relative + ": added after signing"};
        auto actual = describe(bundle, entry, false);
        if (!actual)
            return actual.error();
        nlohmann::json expected = found->second;
        expected.erase("sha256");
        if (*actual != expected) {
            if (actual->value("type", "") != expected.value("type", ""))
                return Failure{entry.relative + ": a " + what(expected) + " was replaced by a " + what(*actual)};
            if (actual->value("mode", 0) != expected.value("mode", 0))
                return Failure{entry.relative + ": the executable bits changed"};
            if (actual->value("type", "") == "link")
                return Failure{entry.relative + ": the link target changed"};
            return Failure{entry.relative + ": the file was modified"};
        }
        if (S_ISREG(entry.info.st_mode)) {
            auto hashed = describe(bundle, entry, true);
            if (!hashed)
                return hashed.error();
            if (*hashed != found->second)
                return Failure{entry.relative + ": the file was modified"};
        }
        ++matched;
    }
    if (matched != record->entries.size()) {
        for (const auto& [path, entry] : record->entries) {
            auto relative = percentDecode(path);
            if (!Fs::exists(Path::join(bundle, relative)))
                return Failure{relative + ": removed after signing"};
        }
        return Failure{"entries were removed after signing"};
    }
    return record->info;
}

std::optional<std::string> teamID(const std::string& bundle) {
    auto record = readRecord(bundle);
    if (!record || record->info.adHoc || !signatureHolds(*record))
        return std::nullopt;
    if (!SigningIdentities::trusts(record->info.publicKey, *record->info.team))
        return std::nullopt;
    return record->info.team;
}

Expected<SignatureInfo> assess(const std::string& bundle) {
    auto verified = verify(bundle);
    if (!verified)
        return verified;
    if (verified->adHoc)
        return Failure{"rejected: the code is signed ad hoc, by no known developer"};
    if (!SigningIdentities::trusts(verified->publicKey, *verified->team))
        return Failure{"rejected: the signer is not trusted for team " + *verified->team};
    return verified;
}

} // namespace CodeSigning

} // namespace dovrane
