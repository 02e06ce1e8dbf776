#pragma once
// Whether a downloaded update may replace the installed app, the reasons it may not, and the
// check of the download's Ed25519 signature.

#include "DovraneKit/core/Url.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

// What the installer knows of the installed app and of the app found in the download.
struct UpdateFacts {
    std::string oldBundleID;
    std::string newBundleID;
    std::optional<std::string> oldTeamID; // absent when the code signature names no team
    std::optional<std::string> newTeamID;
    bool newSignatureValid = false;
    bool oldGatekeeper = false;
    bool newGatekeeper = false;
    std::string oldVersion;
    std::string newVersion;

    bool operator==(const UpdateFacts&) const = default;
};

// Every reason an update is not installed, whether the installer or the verdict finds it.
enum class UpdateRefusal {
    noDownload,
    downloadFailed,
    signatureMissing,
    signatureInvalid,
    installerPackage,
    unpackFailed,
    noApp,
    otherApp,
    notSigned,
    installedNotSigned,
    otherDeveloper,
    gatekeeper,
    notNewer,
    replaceFailed,
    insecureDownload, // a download begun over https was sent on to plain http
};
inline constexpr std::array<UpdateRefusal, 15> allUpdateRefusals = {UpdateRefusal::noDownload,
                                                                    UpdateRefusal::downloadFailed,
                                                                    UpdateRefusal::signatureMissing,
                                                                    UpdateRefusal::signatureInvalid,
                                                                    UpdateRefusal::installerPackage,
                                                                    UpdateRefusal::unpackFailed,
                                                                    UpdateRefusal::noApp,
                                                                    UpdateRefusal::otherApp,
                                                                    UpdateRefusal::notSigned,
                                                                    UpdateRefusal::installedNotSigned,
                                                                    UpdateRefusal::otherDeveloper,
                                                                    UpdateRefusal::gatekeeper,
                                                                    UpdateRefusal::notNewer,
                                                                    UpdateRefusal::replaceFailed,
                                                                    UpdateRefusal::insecureDownload};

// The case name, for readable results.
std::string_view rawValue(UpdateRefusal refusal);
// The sentence shown next to the app, in the current language.
std::string explanation(UpdateRefusal refusal);

namespace UpdateVerdict {
// Absent when the update may be installed; otherwise the first rule it breaks.
std::optional<UpdateRefusal> evaluate(const UpdateFacts& facts);
} // namespace UpdateVerdict

namespace EdDSA {
// Whether signature (standard Base64 of 64 bytes) is a valid Ed25519 signature over the
// whole file by publicKey (standard Base64 of the raw 32-byte key), exactly as libsodium's
// crypto_sign_verify_detached judges it. The file is read in pieces, so a download of any size
// is checked in the same small memory. Any problem is false.
bool verify(const Url& file, std::string_view signature, std::string_view publicKey);
} // namespace EdDSA

} // namespace dovrane
