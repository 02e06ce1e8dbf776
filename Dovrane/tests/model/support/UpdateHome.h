#pragma once
// A model over a temporary home whose update services are a loopback server: apps in the home's
// Applications folder, their feeds, downloads, the cask index and the store lookup all answer
// from 127.0.0.1, and the model's tools are the project's stand-ins and a fake pkexec.

#include "support/FakePkexec.h"
#include "support/LoopbackServer.h"
#include "support/ModelFixture.h"
#include "support/UpdateFixtures.h"

#include <memory>
#include <string>

namespace dovrane::testing {

class UpdateHome {
public:
    UpdateHome();

    // Services with real tool runs, the stand-ins, a refusing fake pkexec, the home's Caskroom
    // and a private runtime folder.
    Services services();

    std::string apps() const { return fixture / "Applications"; }
    std::string appPath(const std::string& name) const { return apps() + "/" + name + ".app"; }
    InstalledApp app(const std::string& name) const;

    // An app whose feed on the server offers `offered` as a download signed by the app's key
    // (or, with badSignature, by no key it knows). The new version is signed by the developer.
    void fedApp(const std::string& name, const std::string& version, const std::string& offered,
                bool badSignature = false);
    // An app Homebrew installed under the token; the cask index offers `offered`.
    void caskApp(const std::string& name, const std::string& token, const std::string& version);
    void serveCaskIndex(const std::string& token, const std::string& name, const std::string& offered);
    // A brew that notes its arguments and fails, or succeeds and leaves `version` in the bundle.
    void brewFails();
    void brewInstalls(const std::string& name, const std::string& token, const std::string& version);
    std::string brewCalls() const;

    ModelFixture fixture;
    std::unique_ptr<LoopbackServer> server = std::make_unique<LoopbackServer>();
    UpdateKey key;

private:
    TempDir runtime_;
    TempDir work_;
    FakePkexec pkexec_{work_.path()};
    ScopedEnv runtimeDir_;
    ScopedEnv caskIndex_;
    ScopedEnv storeLookup_;
};

std::string versionAt(const std::string& bundle);

} // namespace dovrane::testing
