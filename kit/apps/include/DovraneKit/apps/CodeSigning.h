#pragma once
// Code signatures of app bundles. A signature is a record inside the bundle,
// Contents/_CodeSignature/Signature.json: a manifest of every entry below the bundle (files
// with their SHA-256 and executable bits, folders, symbolic links with their targets), the
// bundle identifier, and, unless the signature is ad hoc, the team, the signer's Ed25519 public
// key and a signature over all of that. Ad-hoc signatures carry no key and no team; they only
// prove the bundle is unchanged since signing.

#include "DovraneKit/core/Expected.h"

#include <optional>
#include <string>

namespace dovrane {

struct SignatureInfo {
    std::optional<std::string> identifier; // CFBundleIdentifier at signing time
    bool adHoc = false;
    std::optional<std::string> team;      // as recorded; trusted only through teamID/assess
    std::optional<std::string> authority; // name of the signing identity
    std::string publicKey;                // raw 32 bytes; empty when ad hoc
    std::size_t entryCount = 0;
    bool operator==(const SignatureInfo&) const = default;
};

namespace CodeSigning {
inline constexpr const char* recordPath = "Contents/_CodeSignature/Signature.json";
inline constexpr const char* adHocIdentity = "-";

// Signs the bundle, replacing any signature it has. identity is the name of an identity in
// the user's store, or "-" for an ad-hoc signature. Fails for a bundle holding anything but
// files, folders and links, or a link that leaves the bundle.
[[nodiscard]] Expected<SignatureInfo> sign(const std::string& bundle, const std::string& identity);

// Checks the record's own signature and that the bundle is exactly what it lists: no entry
// changed, added or removed, no executable bit changed, no link leaving the bundle. The
// failure message names the first difference found.
[[nodiscard]] Expected<SignatureInfo> verify(const std::string& bundle);

// The bundle's developer team: only from a record whose signature holds with a key that the
// user's store trusts for the recorded team. Reads the record only, never the bundle's files
// (the inventory asks this of every app). Ad-hoc, unsigned and unknown signers give nothing.
std::optional<std::string> teamID(const std::string& bundle);

// Gatekeeper's assessment for running the bundle: the whole signature verifies and its key is
// trusted for its team. Ad-hoc and unknown signers are refused; the failure says why.
[[nodiscard]] Expected<SignatureInfo> assess(const std::string& bundle);
} // namespace CodeSigning

} // namespace dovrane
