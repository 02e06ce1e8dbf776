// Runs the built application with "--update-trace" against a home folder of our own whose
// apps name feeds on a loopback server.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/AppFixtures.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

std::string infoPlist(const std::string& name, const std::string& version, const std::optional<Url>& feed) {
    std::string plist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>test.)" +
                        name + R"(</string>
<key>CFBundleName</key><string>)" +
                        name + R"(</string>
<key>CFBundleShortVersionString</key><string>)" +
                        version + "</string>\n";
    if (feed)
        plist += "<key>SUFeedURL</key><string>" + feed->text() + "</string>\n";
    return plist + "</dict></plist>\n";
}

std::string feed(const std::string& version, const std::string& signature = "") {
    return R"(<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><item>
<enclosure url="https://downloads.example.test/App.zip" sparkle:shortVersionString=")" +
           version + "\" " + (signature.empty() ? "" : "sparkle:edSignature=\"" + signature + "\"") +
           "/></item></channel></rss>";
}

// The application's output; `wrapper` is a command line the application runs under.
std::string run(const std::string& arguments, int& status, const std::string& wrapper = "") {
    std::string output;
    FILE* pipe = popen((wrapper + " '" + DOVRANE_APP + "' " + arguments).c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, read);
    status = pclose(pipe);
    return output;
}

} // namespace

TEST(UpdateTrace, PrintsEachAppsSourceAndOutcomeThenTheTime) {
    TempHome home;
    TempDir temporary;
    LoopbackServer server;
    server.route("/alpha.xml", ScriptedResponse(200, feed("2.0", "c2ln")));
    server.route("/beta.xml", ScriptedResponse(200, feed("3.1")));
    server.route("/store/lookup", ScriptedResponse(200, R"({"results": [{"version": "1.1", "trackId": 12}]})"));
    writeFile(home / "Applications/Alpha.app/Contents/Info.plist", infoPlist("Alpha", "1.0", server.url("/alpha.xml")));
    writeFile(home / "Applications/Beta.app/Contents/Info.plist", infoPlist("Beta", "3.1", server.url("/beta.xml")));
    writeFile(home / "Applications/Gamma.app/Contents/Info.plist", infoPlist("Gamma", "0.9", server.url("/gone.xml")));
    writeFile(home / "Applications/Notes.app/Contents/Info.plist", infoPlist("Notes", "1.0", std::nullopt));
    writeFile(home / "Applications/Notes.app/Contents/_MASReceipt/receipt", "r");
    writeFile(home / "Applications/Plain.app/Contents/Info.plist", infoPlist("Plain", "5", std::nullopt));
    ScopedEnv tmpdir("TMPDIR", temporary.path());
    // The trace starts once the application stands, whose runtime folder would otherwise be
    // made in the temporary folder.
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    ScopedEnv store("APP_STORE_LOOKUP_URL", server.url("/store").text());
    ScopedEnv casks("APP_CASK_INDEX_URL", server.url("/api/cask.json").text());
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    // The window starts as always beside the trace; its background work checks for updates
    // only when the last check is a day old. A check of today keeps it from asking the same
    // servers while the trace is counted.
    ScopedEnv noTestStore("APP_STORE", std::nullopt);
    writeFile(home / ".local/share/Dovrane/last-updates.json",
              "{\"date\":" + std::to_string(Date::now().secondsSinceReference) + ",\"results\":{}}");
    // No Flatpak app of this machine's installations joins the list.
    TempDir flatpakSystem, flatpakConfig;
    ScopedEnv systemDir("FLATPAK_SYSTEM_DIR", flatpakSystem.path());
    ScopedEnv configDir("FLATPAK_CONFIG_DIR", flatpakConfig.path());
    TempDir errors;

    int status = -1;
    std::string output = run("first --update-trace 2>'" + errors / "stderr" + "'", status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nothing from Qt about the offscreen window it cannot raise or size.
    EXPECT_EQ(Fs::readFile(errors / "stderr"), std::optional<std::string>(""));

    std::istringstream lines(output);
    std::vector<std::string> printed;
    for (std::string line; std::getline(lines, line);)
        printed.push_back(line);
    ASSERT_EQ(printed.size(), 6u) << output;
    EXPECT_EQ(printed[0], "TRACE [sparkle] Alpha: UPDATE 1.0 -> 2.0 signed");
    EXPECT_EQ(printed[1], "TRACE [sparkle] Beta: current 3.1");
    EXPECT_EQ(printed[2], "TRACE [sparkle] Gamma: FAILED The vendor's update server answered with an error.");
    EXPECT_EQ(printed[3], "TRACE [appStore] Notes: UPDATE 1.0 -> 1.1");
    EXPECT_EQ(printed[4], "TRACE [unknown] Plain: unsupported");
    unsigned whole = 0, tenth = 0;
    int used = -1;
    EXPECT_EQ(std::sscanf(printed[5].c_str(), "TRACE done in %u.%1u s%n", &whole, &tenth, &used), 2) << printed[5];
    EXPECT_EQ(used, int(printed[5].size())) << printed[5];
    EXPECT_TRUE(output.ends_with(" s\n"));

    for (const auto& request : server.requests())
        EXPECT_EQ(request.header("User-Agent"), "Dovrane/1.0") << request.target;
    EXPECT_EQ(server.count("/store/lookup"), 1u);
    // No app came from Homebrew: the index was neither fetched nor cached.
    EXPECT_EQ(server.count("/api/cask.json"), 0u);
    EXPECT_TRUE(Fs::list(temporary.path()).empty());
}

// Every app the Apps page lists is traced: a Flatpak app with its own source, skipped as a system app.
TEST(UpdateTrace, ListsFlatpakAppsAsTheAppsPageDoes) {
    if (!flatpakProgram())
        GTEST_SKIP() << "flatpak is not installed, so no installation can be made";
    TempHome home;
    TempDir work, flatpakSystem, flatpakConfig;
    ScopedEnv systemDir("FLATPAK_SYSTEM_DIR", flatpakSystem.path());
    ScopedEnv configDir("FLATPAK_CONFIG_DIR", flatpakConfig.path());
    ScopedEnv userDir("FLATPAK_USER_DIR", std::nullopt);
    ASSERT_TRUE(installFlatpak(work / "flat", "org.example.Flat", {}));
    writeFile(home / "Applications/Plain.app/Contents/Info.plist", infoPlist("Plain", "5", std::nullopt));
    ScopedEnv tmpdir("TMPDIR", work.path());
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");

    int status = -1;
    const std::string output = run("--update-trace 2>/dev/null", status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::istringstream lines(output);
    std::vector<std::string> printed;
    for (std::string line; std::getline(lines, line);)
        printed.push_back(line);
    ASSERT_EQ(printed.size(), 3u) << output;
    EXPECT_EQ(printed[0], "TRACE [flatpak] Flat: skipped (system)");
    EXPECT_EQ(printed[1], "TRACE [unknown] Plain: unsupported");
    EXPECT_TRUE(printed[2].starts_with("TRACE done in ")) << printed[2];
}

// Without any network (a network namespace of its own: only a loopback interface, down) a feed's
// host is not even looked up: the machine is offline, the vendor is not gone.
TEST(UpdateTrace, WithoutAnyNetworkTheChecksSayTheMachineIsOffline) {
    // Root makes the namespace directly, anyone else inside a user namespace of their own.
    std::string wrapper;
    for (const char* command : {"unshare -n", "unshare -rn"})
        if (std::system((std::string(command) + " true 2>/dev/null").c_str()) == 0) {
            wrapper = command;
            break;
        }
    if (wrapper.empty())
        GTEST_SKIP() << "this machine allows no private network namespace (unshare -n, unshare -rn)";
    TempHome home;
    TempDir work, flatpakSystem, flatpakConfig;
    writeFile(home / "Applications/Alpha.app/Contents/Info.plist",
              infoPlist("Alpha", "1.0", Url::parse("https://updates.example.com/alpha.xml").value()));
    ScopedEnv systemDir("FLATPAK_SYSTEM_DIR", flatpakSystem.path());
    ScopedEnv configDir("FLATPAK_CONFIG_DIR", flatpakConfig.path());
    ScopedEnv tmpdir("TMPDIR", work.path());
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");

    for (auto [language, sentence] :
         {std::pair{"en", "No internet connection."}, {"de", "Keine Internetverbindung."}}) {
        ScopedEnv chosen("APP_LANG", language);
        int status = -1;
        const std::string output = run("--update-trace 2>/dev/null", status, wrapper);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(output.starts_with(std::string("TRACE [sparkle] Alpha: FAILED ") + sentence + "\n")) << output;
    }
}
