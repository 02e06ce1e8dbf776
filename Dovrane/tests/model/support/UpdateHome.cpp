#include "support/UpdateHome.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/apps/CodeSigning.h>
#include <DovraneKit/apps/SigningIdentities.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/updates/Archives.h>

#include <sys/stat.h>

#include <stdexcept>

namespace dovrane::testing {

namespace {
const std::string developer = "Apple Development: Jane Doe (TEAM123456)";

void signBundle(const std::string& path) {
    if (!CodeSigning::sign(path, developer))
        throw std::runtime_error("cannot sign " + path);
}

void writeScript(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}
} // namespace

UpdateHome::UpdateHome()
    : runtimeDir_("XDG_RUNTIME_DIR", runtime_.path()),
      caskIndex_("APP_CASK_INDEX_URL", server->url("/api/cask.json").text()),
      storeLookup_("APP_STORE_LOOKUP_URL", server->url("/store").text()) {
    if (!SigningIdentities::find(developer) && !SigningIdentities::create(developer, "TEAM123456"))
        throw std::runtime_error("cannot create the signing identity");
    pkexec_.setRefusing(true);
}

Services UpdateHome::services() {
    Services services = fixture.services();
    services.makeRunner = [](double timeout) -> std::shared_ptr<const CommandRunner> {
        return std::make_shared<ProcessRunner>(timeout);
    };
    services.tools = ToolPaths::inFolder(DOVRANE_BIN_DIR);
    services.tools.brew = {work_ / "bin/brew"};
    services.caskrooms = {Url::fromPath(fixture / "Caskroom")};
    services.systemPaths = pkexec_.paths();
    return services;
}

InstalledApp UpdateHome::app(const std::string& name) const {
    const AppInventory inventory(Url::fromPath(fixture.home()), std::nullopt, {Url::fromPath(fixture / "Caskroom")});
    auto app = inventory.read(Url::fromPath(appPath(name)), inventory.caskMap());
    if (!app)
        throw std::runtime_error("no bundle " + name);
    return *app;
}

void UpdateHome::fedApp(const std::string& name, const std::string& version, const std::string& offered,
                        bool badSignature) {
    const PlistDict feed{{"SUFeedURL", server->url("/feeds/" + name).text()}, {"SUPublicEDKey", key.publicBase64()}};
    makeBundle(appPath(name), "test." + name, version, feed);
    signBundle(appPath(name));

    const std::string next = work_ / ("v" + offered + "/" + name + ".app");
    makeBundle(next, "test." + name, offered, feed);
    signBundle(next);
    const std::string zip = work_ / (name + "-" + offered + ".zip");
    if (!Archives::createZip(next, zip))
        throw std::runtime_error("cannot zip " + next);
    const std::string bytes = Fs::readFile(zip).value_or("");
    const std::string download = "/downloads/" + name + ".zip";
    server->route(download, ScriptedResponse(200, bytes));
    const std::string signature = badSignature ? UpdateKey().sign(bytes) : key.sign(bytes);
    server->route("/feeds/" + name, ScriptedResponse(200, appcast(server->url(download).text(), offered, signature)));
}

void UpdateHome::caskApp(const std::string& name, const std::string& token, const std::string& version) {
    makeBundle(appPath(name), "test." + name, version);
    writeFile(fixture / ("Caskroom/" + token + "/.metadata/" + version + "/20240101/Casks/" + token + ".json"),
              R"({"app": [")" + name + R"(.app"]})");
}

void UpdateHome::serveCaskIndex(const std::string& token, const std::string& name, const std::string& offered) {
    server->route("/api/cask.json",
                  ScriptedResponse(200, R"([{"token": ")" + token + R"(", "version": ")" + offered +
                                            R"(", "artifacts": [{"app": [")" + name + R"(.app"]}]}])"));
}

void UpdateHome::brewFails() {
    writeScript(work_ / "bin/brew", "echo \"$@\" >> '" + (work_ / "brew.log") + "'\nexit 1\n");
}

void UpdateHome::brewInstalls(const std::string& name, const std::string& token, const std::string& version) {
    const std::string upgraded = work_ / ("brew/" + name + ".app");
    makeBundle(upgraded, "test." + name, version);
    writeScript(work_ / "bin/brew", "echo \"$@\" >> '" + (work_ / "brew.log") + "'\ncp '" + upgraded +
                                        "/Contents/Info.plist' '" + appPath(name) + "/Contents/Info.plist'\n");
    // Homebrew notes the new version in its Caskroom.
    writeFile(fixture / ("Caskroom/" + token + "/.metadata/" + version + "/20240202/Casks/" + token + ".json"),
              R"({"app": [")" + name + R"(.app"]})");
}

std::string UpdateHome::brewCalls() const { return Fs::readFile(work_ / "brew.log").value_or(""); }

std::string versionAt(const std::string& bundle) {
    const AppInventory inventory(Url::fromPath("/"), std::vector<Url>{}, {});
    auto app = inventory.read(Url::fromPath(bundle), {});
    return app ? app->version : "(none)";
}

} // namespace dovrane::testing
