#include "DovraneKit/updates/UpdateVerdict.h"

#include "DovraneKit/apps/AppVersion.h"
#include "DovraneKit/core/Language.h"

namespace dovrane {

namespace {

// In English; the German is in kit/catalogue/de/updates.txt.
struct RefusalText {
    std::string_view name;
    std::string_view english;
};

constexpr RefusalText refusalTexts[] = {
    {"noDownload", N_("The update feed has no download for this version.")},
    {"downloadFailed", N_("The download did not finish. Nothing was changed.")},
    {"signatureMissing",
     N_("The app expects signed updates, but this download has no signature. Dovrane did not install it.")},
    {"signatureInvalid", N_("The download does not match the vendor's signature. Dovrane did not install it.")},
    {"installerPackage",
     N_("This update is an installer package. Open it from the app itself, so the vendor's installer runs.")},
    {"unpackFailed", N_("The download could not be opened.")},
    {"noApp", N_("The download contains no app.")},
    {"otherApp", N_("The download contains a different app. Dovrane did not install it.")},
    {"notSigned", N_("The new version is not properly signed. Dovrane did not install it.")},
    {"installedNotSigned",
     N_("The installed app has no developer signature, so Dovrane cannot check that the update comes from the same "
        "developer. Update it from the app itself.")},
    {"otherDeveloper",
     N_("The new version is signed by a different developer than the installed one. Dovrane did not install it.")},
    {"gatekeeper", N_("macOS Gatekeeper does not accept the new version. Dovrane did not install it.")},
    {"notNewer", N_("The download is not newer than the installed version.")},
    {"replaceFailed", N_("The new version could not be put in place. The old version is back where it was.")},
    {"insecureDownload", N_("The vendor's server sent the download from a secure connection to an insecure one. "
                            "Dovrane did not install it.")},
};
static_assert(std::size(refusalTexts) == allUpdateRefusals.size());

const RefusalText& textOf(UpdateRefusal refusal) { return refusalTexts[std::size_t(refusal)]; }

} // namespace

std::string_view rawValue(UpdateRefusal refusal) { return textOf(refusal).name; }

std::string explanation(UpdateRefusal refusal) {
    const auto& text = textOf(refusal);
    return L(text.english);
}

std::optional<UpdateRefusal> UpdateVerdict::evaluate(const UpdateFacts& facts) {
    if (facts.newBundleID != facts.oldBundleID)
        return UpdateRefusal::otherApp;
    if (!facts.newSignatureValid)
        return UpdateRefusal::notSigned;
    // Without a team on the installed app there is nothing to tie the update to its developer.
    if (!facts.oldTeamID)
        return UpdateRefusal::installedNotSigned;
    if (!facts.newTeamID || *facts.newTeamID != *facts.oldTeamID)
        return UpdateRefusal::otherDeveloper;
    // When Gatekeeper already rejects the installed app, its verdict on the new one adds nothing.
    if (facts.oldGatekeeper && !facts.newGatekeeper)
        return UpdateRefusal::gatekeeper;
    if (AppVersion::compare(facts.newVersion, facts.oldVersion) != ComparisonResult::orderedDescending)
        return UpdateRefusal::notNewer;
    return std::nullopt;
}

} // namespace dovrane
