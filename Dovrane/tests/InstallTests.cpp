// Installs the build into a prefix of our own, checks the menu entry and the metainfo with the
// desktop's own validators, and runs the installed program headless from there: it must find
// its tool stand-ins and its AppImage module in the installed layout, not in the build tree.

#include "AppRun.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/AppFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::string appId = "app.dovrane.Dovrane";
// The install layout this build was configured with (a packager's may differ from the default).
const std::string bin = DOVRANE_INSTALL_BINDIR;
const std::string tools = DOVRANE_PRIVATE_LIBEXECDIR;

// The program's full path when it is installed, else empty.
std::string installed(const std::string& name) {
    for (const char* folder : {"/usr/bin/", "/bin/"})
        if (Fs::isExecutableFile(folder + name))
            return folder + name;
    return {};
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A file of the installed layout renamed for one test, put back at its end.
class MovedAside {
public:
    explicit MovedAside(std::string path) : path_(std::move(path)) {
        EXPECT_EQ(std::rename(path_.c_str(), (path_ + ".aside").c_str()), 0) << path_;
    }
    ~MovedAside() { EXPECT_EQ(std::rename((path_ + ".aside").c_str(), path_.c_str()), 0) << path_; }
    MovedAside(const MovedAside&) = delete;
    MovedAside& operator=(const MovedAside&) = delete;

private:
    std::string path_;
};

// One install for the whole suite: the prefix lies in a folder with a space, as a user's may.
class Installed : public HeadlessAppTest {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        prefix_ = *folder_ / "my prefix";
        const AppRun install = runProgram(DOVRANE_CMAKE, {"--install", DOVRANE_BUILD_DIR, "--prefix", prefix_});
        installStatus_ = install.status;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(installStatus_, 0) << "cmake --install failed"; }

    static std::string at(const std::string& relative) { return prefix_ + "/" + relative; }

    static inline TempDir* folder_ = nullptr;
    static inline std::string prefix_;
    static inline int installStatus_ = -1;
};

} // namespace

TEST_F(Installed, LaysOutTheProgramItsToolsIconAndMenuEntry) {
    EXPECT_TRUE(Fs::isExecutableFile(at(bin + "/Dovrane")));
    for (const char* tool : {"codesign", "spctl", "security", "ditto", "tar", "hdiutil", "move"}) {
        EXPECT_TRUE(Fs::isExecutableFile(at(tools + "/dovrane-") + tool)) << tool;
        EXPECT_FALSE(Fs::exists(at(bin + "/dovrane-") + tool)) << tool << " would be on the user's PATH";
    }
    // The one module, and no library of the programs' own: they link the kit.
    EXPECT_EQ(Fs::list(at(DOVRANE_PRIVATE_LIBDIR)), std::vector<std::string>{"dovrane-appimage.so"});
    EXPECT_FALSE(Fs::exists(at(bin + "/dovrane-appimage.so")));
    EXPECT_TRUE(Fs::exists(at("share/icons/hicolor/scalable/apps/" + appId + ".svg")));
    EXPECT_TRUE(Fs::exists(at("share/icons/hicolor/symbolic/apps/" + appId + "-symbolic.svg")));

    const auto entry = Fs::readFile(at("share/applications/" + appId + ".desktop"));
    ASSERT_TRUE(entry);
    // The installed program by its absolute path, quoted for the space, taking dropped files.
    EXPECT_NE(entry->find("\nExec=\"" + at(bin + "/Dovrane") + "\" %F\n"), std::string::npos) << *entry;
    EXPECT_NE(entry->find("\nIcon=" + appId + "\n"), std::string::npos);
    EXPECT_NE(entry->find("\nComment[de]="), std::string::npos);
    EXPECT_EQ(entry->find(DOVRANE_BUILD_DIR), std::string::npos) << "the entry points into the build tree";
}

// Every program and module the install copies is made by the target scripts/run.sh builds, so
// that the install works right after it, with nothing else built.
TEST_F(Installed, CopiesOnlyWhatTheApplicationTargetMakes) {
#ifndef DOVRANE_NINJA
    GTEST_SKIP() << "only Ninja lists what a target is made of";
#else
    // "application:", "  input: phony", what it is made of (one a line, indented by four),
    // "  outputs:" and what depends on it.
    const AppRun query = runProgram(DOVRANE_NINJA, {"-C", DOVRANE_BUILD_DIR, "-t", "query", "application"});
    ASSERT_EQ(query.status, 0);
    std::set<std::string> made;
    for (const std::string& line : query.lines) {
        if (line == "  outputs:")
            break;
        if (line.starts_with("    "))
            made.insert(Path::lastComponent(line));
    }
    int copied = 0;
    for (const std::string& folder : {bin, tools, std::string(DOVRANE_PRIVATE_LIBDIR)})
        for (const std::string& name : Fs::list(at(folder))) {
            EXPECT_TRUE(made.contains(name)) << folder << "/" << name;
            ++copied;
        }
    EXPECT_EQ(copied, 9); // the program, six tools, the mover and the module
#endif
}

// The installed program links what it needs at start (Qt among it) and nothing of the build
// tree; the libraries it opens only when first needed are not linked but declared in its
// ".note.dlopen" note, where packaging tools look for them.
TEST_F(Installed, LinksItsLibrariesAndDeclaresTheOnesItOpensLater) {
    {
        // The dynamic loader names the libraries it finds and ends the program before it runs.
        ScopedEnv listOnly("LD_TRACE_LOADED_OBJECTS", "1");
        for (const std::string& program : {bin + "/Dovrane", tools + "/dovrane-codesign"}) {
            const AppRun run = runProgram(at(program), {});
            EXPECT_EQ(run.status, 0) << program;
            for (const std::string& line : run.lines) {
                EXPECT_EQ(line.find(DOVRANE_BUILD_DIR), std::string::npos) << program << ": " << line;
                EXPECT_EQ(line.find("not found"), std::string::npos) << program << ": " << line;
                for (const char* later : {"libcurl", "libflatpak", "libgit2", "libappimage", "libDovraneKit"})
                    EXPECT_EQ(line.find(later), std::string::npos) << program << ": " << line;
            }
        }
        const AppRun run = runProgram(at(bin + "/Dovrane"), {});
        EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(), [](const std::string& line) {
            return line.find("libQt6Widgets.so.6") != std::string::npos;
        })) << ::testing::PrintToString(run.lines);
    }

    const std::string readelf = installed("readelf");
    if (readelf.empty())
        GTEST_SKIP() << "readelf (binutils) is not installed";
    const AppRun notes = runProgram(readelf, {"--string-dump=.note.dlopen", at(bin + "/Dovrane")});
    EXPECT_EQ(notes.status, 0);
    std::string dump;
    for (const std::string& line : notes.lines)
        dump += line + "\n";
    for (const char* soname :
         {"\"soname\":[\"libcurl.so.4\"]", "\"soname\":[\"libflatpak.so.0\"]", "\"soname\":[\"libgit2.so."})
        EXPECT_NE(dump.find(soname), std::string::npos) << dump;
}

TEST_F(Installed, PassesTheDesktopsOwnValidators) {
    const std::string desktopValidate = installed("desktop-file-validate");
    const std::string appstreamcli = installed("appstreamcli");
    if (desktopValidate.empty() || appstreamcli.empty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) or appstreamcli (appstream) is not installed";
    const AppRun entry = runProgram(desktopValidate, {at("share/applications/" + appId + ".desktop")});
    EXPECT_EQ(entry.status, 0);
    // Not even a hint: one main category keeps the entry in one place of the menu.
    EXPECT_EQ(entry.lines, std::vector<std::string>{});
    const AppRun metainfo =
        runProgram(appstreamcli, {"validate", "--no-net", at("share/metainfo/" + appId + ".metainfo.xml")});
    EXPECT_EQ(metainfo.status, 0);
}

// What goes to the Trash can be put back only until the Trash is emptied, which Dovrane does
// when the user asks: wherever the metainfo promises putting back, in either language, the
// same paragraph says until when.
TEST_F(Installed, TheMetainfoPromisesPuttingBackOnlyUntilTheTrashIsEmptied) {
    const auto metainfo = Fs::readFile(at("share/metainfo/" + appId + ".metainfo.xml"));
    ASSERT_TRUE(metainfo);
    std::string text; // white space as one space, as a software centre shows the text
    for (char c : *metainfo)
        if (c != ' ' && c != '\n')
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    for (const auto& [promise, until] : {std::pair{"put back", "until the Trash is emptied"},
                                         std::pair{"zurücklegen", "bis der Papierkorb geleert wird"}}) {
        for (std::size_t at = text.find(promise); at != std::string::npos; at = text.find(promise, at + 1)) {
            const std::size_t start = text.rfind("<p", at), end = text.find("</p>", at);
            ASSERT_NE(start, std::string::npos);
            const std::string paragraph = text.substr(start, end - start);
            EXPECT_NE(paragraph.find(until), std::string::npos) << paragraph;
        }
        EXPECT_NE(text.find(promise), std::string::npos) << promise;
    }
}

// With an identity made by the installed stand-in, the self-test's install checks run the
// installed code signer, archiver and Gatekeeper stand-ins: all fourteen checks pass. Without one
// of them the run fails and names it.
TEST_F(Installed, RunsTheSelfTestAndTheScanTraceFromThePrefix) {
    ScopedEnv noToolFolder("DOVRANE_TOOL_DIR", std::nullopt);
    ASSERT_EQ(runProgram(at(tools + "/dovrane-security"),
                         {"create-identity", "Apple Development: Test Person (TEAM42)", "TEAM42"})
                  .status,
              0);
    // A home laid out like a Mac's, where the self-test's leftover check looks.
    ASSERT_TRUE(Fs::makeDirectories(home_ / "Library/Caches"));
    const AppRun selfTest = runProgram(at(bin + "/Dovrane"), {"--selftest"});
    EXPECT_EQ(selfTest.status, 0);
    EXPECT_TRUE(contains(selfTest.lines, "PASS a signed update replaces the app"));
    EXPECT_TRUE(contains(selfTest.lines, "SELFTEST PASS 14 checks"));
    {
        MovedAside archiver(at(tools + "/dovrane-ditto"));
        const AppRun without = runProgram(at(bin + "/Dovrane"), {"--selftest"});
        EXPECT_EQ(without.status, 1);
        EXPECT_TRUE(contains(without.lines, "FAIL the update installer's tools are installed: not found: " +
                                                at(tools + "/dovrane-ditto")))
            << ::testing::PrintToString(without.lines);
    }

    writeFileOfSize(home_ / "Library/Logs/app.log", 5000);
    const AppRun trace = runProgram(at(bin + "/Dovrane"), {"--scan-trace"});
    EXPECT_EQ(trace.status, 0);
    EXPECT_TRUE(std::any_of(trace.lines.begin(), trace.lines.end(),
                            [](const std::string& line) { return line.starts_with("TRACE logs: 1 items, "); }));
}

// The update trace lists the AppImage by the name its payload gives, which only the installed
// module beside the kit reads. Without the module it reads as an AppImage without a payload,
// named after its file, and the trace still runs to the end.
TEST_F(Installed, ReadsAnAppImageThroughTheInstalledModule) {
    if (!mksquashfs())
        GTEST_SKIP() << "mksquashfs (squashfs-tools) is not installed, so no AppImage can be built";
    ScopedEnv noToolFolder("DOVRANE_TOOL_DIR", std::nullopt);
    ASSERT_TRUE(writeAppImage(home_ / "Applications/ToolMaker-1.0-x86_64.AppImage",
                              {{"toolmaker.desktop", "[Desktop Entry]\nType=Application\nName=Tool Maker\n"}}));

    const AppRun trace = runProgram(at(bin + "/Dovrane"), {"--update-trace"});
    EXPECT_EQ(trace.status, 0);
    EXPECT_TRUE(contains(trace.lines, "TRACE [unknown] Tool Maker: unsupported"))
        << ::testing::PrintToString(trace.lines);

    MovedAside module(at(DOVRANE_PRIVATE_LIBDIR "/dovrane-appimage.so"));
    const AppRun without = runProgram(at(bin + "/Dovrane"), {"--update-trace"});
    EXPECT_EQ(without.status, 0);
    EXPECT_TRUE(contains(without.lines, "TRACE [unknown] ToolMaker: unsupported"))
        << ::testing::PrintToString(without.lines);
}
