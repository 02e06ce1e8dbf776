#include "DovraneKit/apps/SigningIdentities.h"

#include "DovraneKit/system/FileSystem.h"
#include "core/SodiumSupport.h"
#include "formats/JsonCoding.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dovrane {

namespace {

using jsoncoding::DecodeError;
using jsoncoding::ObjectReader;

constexpr std::uint64_t maximumStoreSize = 4ull << 20;

std::string storeFolder() { return Path::join(Fs::dataHome(), "Dovrane/signing"); }

SigningIdentity decodeIdentity(const nlohmann::json& json) {
    ObjectReader reader(json, "SigningIdentity");
    SigningIdentity identity;
    identity.name = reader.string("name");
    identity.team = reader.string("team");
    auto publicKey = sodium::fromBase64(reader.string("publicKey"));
    auto seed = sodium::fromBase64(reader.string("seed"));
    if (!publicKey || publicKey->size() != crypto_sign_PUBLICKEYBYTES || !seed || seed->size() != crypto_sign_SEEDBYTES)
        throw DecodeError("SigningIdentity: a key is not valid");
    identity.publicKey.assign(crypto_sign_PUBLICKEYBYTES, '\0');
    identity.secretKey.assign(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(reinterpret_cast<unsigned char*>(identity.publicKey.data()),
                             reinterpret_cast<unsigned char*>(identity.secretKey.data()),
                             reinterpret_cast<const unsigned char*>(seed->data()));
    if (identity.publicKey != *publicKey)
        throw DecodeError("SigningIdentity: the public key does not belong to the secret key");
    return identity;
}

nlohmann::json encodeIdentity(const SigningIdentity& identity) {
    return {{"name", identity.name},
            {"team", identity.team},
            {"publicKey", sodium::toBase64(identity.publicKey)},
            {"seed", sodium::toBase64(std::string_view(identity.secretKey).substr(0, crypto_sign_SEEDBYTES))}};
}

bool validName(const std::string& name) {
    if (name.empty() || name.size() > 512)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '"')
            return false;
    try {
        (void)nlohmann::json(name).dump(); // refuses text that is not UTF-8
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    return true;
}

bool validTeam(const std::string& team) {
    if (team.empty() || team.size() > 64)
        return false;
    for (unsigned char c : team)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

// The store's folder, private to the user; a link in its place is refused.
bool preparePrivateFolder(const std::string& folder) {
    Fs::makeDirectories(Path::parent(folder));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    return (info.st_mode & 07777) == 0700 || chmod(folder.c_str(), 0700) == 0;
}

// Holds an exclusive lock on the store while it lives, so two writers never lose an identity.
class StoreLock {
public:
    explicit StoreLock(const std::string& folder) {
        fd_ = open(Path::join(folder, "identities.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~StoreLock() {
        if (fd_ >= 0)
            close(fd_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace

std::string SigningIdentity::fingerprint() const {
    return sodium::toHex(sodium::sha256(publicKey).substr(0, 20), true);
}

namespace SigningIdentities {

std::string storePath() { return Path::join(storeFolder(), "identities.json"); }

Expected<std::vector<SigningIdentity>> load() {
    if (!sodium::ready())
        return Failure{"the signing library cannot start"};
    std::string path = storePath();
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return std::vector<SigningIdentity>{};
        return Failure{path + ": the identity store cannot be read"};
    }
    if (!S_ISREG(info.st_mode))
        return Failure{path + ": the identity store is not a file"};
    auto text = Fs::readFile(path, maximumStoreSize);
    if (!text)
        return Failure{path + ": the identity store cannot be read"};
    return jsoncoding::decode([&] {
        auto json = jsoncoding::parseText(*text);
        ObjectReader reader(json, "SigningIdentities");
        if (reader.integer("format") != 1)
            throw DecodeError("SigningIdentities: unknown format");
        std::vector<SigningIdentity> identities;
        for (const auto& element : reader.array("identities"))
            identities.push_back(decodeIdentity(element));
        return identities;
    });
}

std::optional<SigningIdentity> find(const std::string& name) {
    auto identities = load();
    if (!identities)
        return std::nullopt;
    for (auto& identity : *identities)
        if (identity.name == name)
            return std::move(identity);
    return std::nullopt;
}

Expected<SigningIdentity> create(const std::string& name, const std::string& team) {
    if (!validName(name))
        return Failure{"the identity name must be UTF-8 text without control characters or double quotes"};
    if (!validTeam(team))
        return Failure{"the team must be 1 to 64 letters and digits"};
    if (!sodium::ready())
        return Failure{"the signing library cannot start"};
    std::string folder = storeFolder();
    if (!preparePrivateFolder(folder))
        return Failure{folder + ": the identity folder cannot be created"};
    StoreLock lock(folder);
    if (!lock.held())
        return Failure{folder + ": the identity store cannot be locked"};

    auto identities = load();
    if (!identities)
        return identities.error();
    for (const auto& existing : *identities)
        if (existing.name == name)
            return Failure{"an identity named \"" + name + "\" exists already"};

    SigningIdentity identity;
    identity.name = name;
    identity.team = team;
    identity.publicKey.assign(crypto_sign_PUBLICKEYBYTES, '\0');
    identity.secretKey.assign(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(identity.publicKey.data()),
                        reinterpret_cast<unsigned char*>(identity.secretKey.data()));
    identities->push_back(identity);

    nlohmann::json list = nlohmann::json::array();
    for (const auto& each : *identities)
        list.push_back(encodeIdentity(each));
    nlohmann::json store = {{"format", 1}, {"identities", std::move(list)}};
    if (!Fs::writeFileAtomically(storePath(), store.dump(2) + "\n", 0600))
        return Failure{storePath() + ": the identity store cannot be written"};
    return identity;
}

bool trusts(const std::string& publicKey, const std::string& team) {
    auto identities = load();
    if (!identities)
        return false;
    for (const auto& identity : *identities)
        if (identity.publicKey == publicKey && identity.team == team)
            return true;
    return false;
}

} // namespace SigningIdentities

} // namespace dovrane
