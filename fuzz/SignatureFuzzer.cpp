// Signature records inside bundles and the user's identity store: the first byte chooses
// which, the rest is the file. Neither may crash the listing that asks every bundle its team.
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/system/FileSystem.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    auto input = fuzz::text(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        static const std::string bundle = [] {
            fuzz::writeScratchFile("Fuzz.app/Contents/Info.plist", "<plist><dict/></plist>");
            fuzz::writeScratchFile("Fuzz.app/Contents/MacOS/fuzz", "#!/bin/sh\n");
            return Path::join(fuzz::scratch(), "Fuzz.app");
        }();
        fuzz::writeScratchFile(Path::join("Fuzz.app", CodeSigning::recordPath), input);
        auto team = CodeSigning::teamID(bundle);
        auto verdict = CodeSigning::verify(bundle);
        auto assessed = CodeSigning::assess(bundle);
        fuzz::check(!team || (verdict && assessed), "a team is named only for a signature that holds");
    } else {
        static const std::string store = [] {
            fuzz::scratch(); // HOME points into the scratch folder before the store is looked up
            std::string path = SigningIdentities::storePath();
            fuzz::check(path.starts_with(fuzz::scratch()), "the store lies in the scratch home");
            Fs::makeDirectories(Path::parent(path), 0700);
            return path;
        }();
        Fs::writeFile(store, input);
        if (auto identities = SigningIdentities::load())
            for (const auto& identity : *identities)
                (void)identity.fingerprint();
    }
    return 0;
}
