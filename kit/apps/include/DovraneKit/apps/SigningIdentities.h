#pragma once
// The user's code-signing identities: a name such as "Apple Development: Jane Doe (TEAM123456)",
// the developer team it signs for and an Ed25519 key pair. They live in a private store below
// the user's data folder (folder 0700, file 0600). A key in the store is what makes a signature
// count as the team's: a signature by any other key names no team.

#include "DovraneKit/core/Expected.h"

#include <optional>
#include <string>
#include <vector>

namespace dovrane {

struct SigningIdentity {
    std::string name;
    std::string team;
    std::string publicKey; // raw 32 bytes
    std::string secretKey; // raw 64 bytes (seed followed by the public key)

    // 40 upper-case hex digits naming the key, as identity listings show it.
    std::string fingerprint() const;
    bool operator==(const SigningIdentity&) const = default;
};

namespace SigningIdentities {
// dataHome/Dovrane/signing/identities.json
std::string storePath();

// Every identity of the store in the order they were created. A missing store is an empty
// list; a store that cannot be read or decoded is a failure (and is never overwritten).
[[nodiscard]] Expected<std::vector<SigningIdentity>> load();

// The identity with exactly this name.
std::optional<SigningIdentity> find(const std::string& name);

// Creates a new key pair for the name and team and adds it to the store. The name must be
// non-empty UTF-8 without control characters or double quotes and not yet taken; the team is
// 1 to 64 ASCII letters and digits.
[[nodiscard]] Expected<SigningIdentity> create(const std::string& name, const std::string& team);

// Whether the store holds the public key (raw 32 bytes) as a key of that team.
bool trusts(const std::string& publicKey, const std::string& team);
} // namespace SigningIdentities

} // namespace dovrane
