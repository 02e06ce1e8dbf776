#include "DovraneKit/apps/Leftovers.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/trash/Trasher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

class LeftoverFinderTest : public ::testing::Test {
protected:
    std::string user(std::string_view relative) const { return home / ("Library/" + std::string(relative)); }
    std::string sys(std::string_view relative) const { return system / relative; }

    LeftoverFinder finder(std::vector<Url> sandboxRoots = {}) const {
        return LeftoverFinder(Url::fromPath(home.path()), Url::fromPath(system.path()), std::move(sandboxRoots));
    }

    // Found items keyed by path relative to the temporary folders ("~/..." or "/sys/...").
    std::map<std::string, Leftover> findByPath(const std::string& id, const std::string& name,
                                               std::optional<Url> app = std::nullopt,
                                               std::optional<std::string> team = std::nullopt) const {
        std::map<std::string, Leftover> found;
        for (auto& item : finder().find(id, name, app, team)) {
            std::string path = item.url.path();
            std::string key = path.starts_with(home.path() + "/") ? "~" + path.substr(home.path().size())
                                                                  : "/sys" + path.substr(system.path().size());
            found.emplace(key, item);
        }
        return found;
    }

    void launchItem(const std::string& path, const PlistDict& dict) const {
        writeFile(path, Plist::toXml(PlistValue(dict)));
    }

    TempHome home;
    TempDir system;
};

const std::string identifierReason = "Named after the app's identifier com.example.editor.";

} // namespace

TEST_F(LeftoverFinderTest, EntriesNamedAfterTheIdentifierAreExactInEveryFolder) {
    writeFile(user("Preferences/com.example.editor.plist"));
    makeFolder(user("Caches/com.example.editor"));
    makeFolder(user("Application Support/com.example.editor.helper"));
    makeFolder(user("Saved Application State/com.example.editor.savedState"));
    writeFile(user("Preferences/ByHost/com.example.editor.0A1B2C3D.plist"));
    writeFile(user("Cookies/COM.Example.Editor.binarycookies"));
    makeFolder(user("Caches/com.example.editorial"));
    makeFolder(user("Caches/xcom.example.editor"));
    writeFile(sys("Preferences/com.example.editor.plist"));

    auto found = findByPath("com.example.editor", "Editor");
    std::vector<std::string> paths;
    for (const auto& [path, item] : found) {
        paths.push_back(path);
        EXPECT_TRUE(item.exact) << path;
        EXPECT_EQ(item.reason, identifierReason) << path;
        EXPECT_EQ(item.needsAdmin, path.starts_with("/sys/")) << path;
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/sys/Preferences/com.example.editor.plist",
                                               "~/Library/Application Support/com.example.editor.helper",
                                               "~/Library/Caches/com.example.editor",
                                               "~/Library/Cookies/COM.Example.Editor.binarycookies",
                                               "~/Library/Preferences/ByHost/com.example.editor.0A1B2C3D.plist",
                                               "~/Library/Preferences/com.example.editor.plist",
                                               "~/Library/Saved Application State/com.example.editor.savedState"}));
}

TEST_F(LeftoverFinderTest, SentencesKeepTheIdentifierAsPassedAndFollowTheLanguage) {
    writeFile(user("Preferences/com.example.editor.plist"));
    auto english = finder().find("Com.Example.EDITOR", "Editor", std::nullopt, std::nullopt);
    ASSERT_EQ(english.size(), 1u);
    EXPECT_EQ(english[0].reason, "Named after the app's identifier Com.Example.EDITOR.");

    ScopedEnv german("APP_LANG", "de");
    auto deutsch = finder().find("com.example.editor", "Editor", std::nullopt, std::nullopt);
    ASSERT_EQ(deutsch.size(), 1u);
    EXPECT_EQ(deutsch[0].reason, "Trägt die Kennung der App, com.example.editor.");
}

TEST_F(LeftoverFinderTest, GroupContainersMatchByIdentifierSuffixAndByTeam) {
    makeFolder(user("Group Containers/ABCDE12345.com.example.editor"));
    makeFolder(user("Group Containers/group.com.example.editor"));
    makeFolder(user("Group Containers/ABCDE12345.shared"));
    makeFolder(user("Group Containers/.hidden"));
    makeFolder(user("Caches/ABCDE12345.shared"));
    makeFolder(user("Caches/group.com.example.editor"));

    auto withTeam = findByPath("com.example.editor", "Editor", std::nullopt, "abcde12345");
    ASSERT_EQ(withTeam.size(), 3u);
    const auto& shared = withTeam.at("~/Library/Group Containers/ABCDE12345.shared");
    EXPECT_FALSE(shared.exact);
    EXPECT_EQ(shared.reason, "Shared by apps of the same developer. Other apps of theirs may still need it.");
    for (auto name : {"ABCDE12345.com.example.editor", "group.com.example.editor"}) {
        const auto& item = withTeam.at("~/Library/Group Containers/" + std::string(name));
        EXPECT_TRUE(item.exact);
        EXPECT_EQ(item.reason, "A shared container of com.example.editor.");
    }

    EXPECT_EQ(findByPath("com.example.editor", "Editor").size(), 2u) << "no team, no team match";
    EXPECT_EQ(findByPath("com.example.editor", "Editor", std::nullopt, "").size(), 2u)
        << "an empty team must not match every hidden name";
}

TEST_F(LeftoverFinderTest, NameMatchesOnlyInThreeFoldersAndOnlyForNamesLongerThanThree) {
    makeFolder(user("Caches/notes"));
    writeFile(user("Logs/Notes.log"));
    writeFile(user("Preferences/Notes.plist"));
    makeFolder(user("Containers/Notes"));
    makeFolder(sys("Application Support/Notes"));
    makeFolder(sys("LaunchDaemons/Notes"));

    auto found = findByPath("com.example.notes", "Notes");
    ASSERT_EQ(found.size(), 3u);
    for (auto path : {"~/Library/Caches/notes", "~/Library/Logs/Notes.log", "/sys/Application Support/Notes"}) {
        ASSERT_TRUE(found.count(path)) << path;
        EXPECT_FALSE(found.at(path).exact);
        EXPECT_EQ(found.at(path).reason, "Has the app's name. Check that no other app uses it.");
    }

    makeFolder(user("Caches/tea"));
    makeFolder(user("Caches/\xC3\xA4pp")); // "äpp": three characters in four bytes
    EXPECT_TRUE(findByPath("com.example.tea", "Tea").empty());
    EXPECT_TRUE(findByPath("com.example.app", "\xC3\x84pp").empty());
}

TEST_F(LeftoverFinderTest, LaunchItemsThatStartAProgramInsideTheApp) {
    const std::string app = home / "Applications/Foo.app";
    launchItem(user("LaunchAgents/com.vendor.agent.plist"),
               {{"ProgramArguments", PlistArray{app + "/Contents/MacOS/agent", "--background"}}});
    launchItem(user("LaunchAgents/com.vendor.trap.plist"),
               {{"Program", home / "Applications/Foo.app2/Contents/MacOS/x"}});
    launchItem(sys("LaunchDaemons/com.vendor.daemon.plist"), {{"Program", app + "/Contents/Library/Helper"}});
    launchItem(sys("PrivilegedHelperTools/com.vendor.tool.plist"), {{"Program", app + "/Contents/Library/Tool"}});

    auto found = findByPath("com.example.foo", "Foo", Url::fromPath(app));
    ASSERT_EQ(found.size(), 2u);
    const auto& agent = found.at("~/Library/LaunchAgents/com.vendor.agent.plist");
    EXPECT_TRUE(agent.exact);
    EXPECT_FALSE(agent.needsAdmin);
    EXPECT_EQ(agent.reason, "Starts a program inside the app.");
    EXPECT_TRUE(found.at("/sys/LaunchDaemons/com.vendor.daemon.plist").needsAdmin);

    EXPECT_TRUE(findByPath("com.example.foo", "Foo").empty()) << "without the app's URL no launch item fits";
}

TEST_F(LeftoverFinderTest, LaunchItemReadsProgramBeforeArgumentsAndRefusesOddLists) {
    const Url app = Url::fromPath("/Applications/Foo.app");
    auto item = [&](const std::string& name, const PlistDict& dict) {
        launchItem(user(name), dict);
        return LeftoverFinder::launchItem(Url::fromPath(user(name)), app);
    };
    EXPECT_FALSE(
        item("a.plist", {{"Program", "/usr/bin/true"}, {"ProgramArguments", PlistArray{"/Applications/Foo.app/x"}}}));
    EXPECT_TRUE(item("b.plist", {{"Program", 3}, {"ProgramArguments", PlistArray{"/Applications/Foo.app/x"}}}));
    EXPECT_FALSE(item("c.plist", {{"ProgramArguments", PlistArray{"/Applications/Foo.app/x", 1}}}));
    EXPECT_FALSE(item("d.plist", {{"ProgramArguments", PlistArray{}}}));
    EXPECT_FALSE(item("e.plist", {{"Program", "/Applications/Foo.app"}}))
        << "the bundle itself is no program inside it";
    EXPECT_FALSE(item("f.PLIST", {{"Program", "/Applications/Foo.app/x"}}));
    writeFile(user("g.plist"), "not a property list");
    EXPECT_FALSE(LeftoverFinder::launchItem(Url::fromPath(user("g.plist")), app));
    EXPECT_FALSE(LeftoverFinder::launchItem(Url::fromPath(user("missing.plist")), app));
}

TEST_F(LeftoverFinderTest, LargestFirstAndEqualSizesInTheOrderFound) {
    writeFileOfSize(user("Preferences/com.example.editor.plist"), 40000);
    writeFileOfSize(user("Caches/com.example.editor/big"), 400000);
    makeFolder(user("Application Support/com.example.editor"));
    makeFolder(user("Logs/com.example.editor"));
    makeFolder(sys("Application Support/com.example.editor"));

    auto found = finder().find("com.example.editor", "Editor", std::nullopt, std::nullopt);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].url, Url::fromPath(user("Caches/com.example.editor")));
    EXPECT_GT(found[0].size, found[1].size);
    EXPECT_EQ(found[1].url, Url::fromPath(user("Preferences/com.example.editor.plist")));
    EXPECT_EQ(found[2].url, Url::fromPath(user("Application Support/com.example.editor")));
    EXPECT_EQ(found[3].url, Url::fromPath(user("Logs/com.example.editor")));
    EXPECT_EQ(found[4].url, Url::fromPath(sys("Application Support/com.example.editor")));
}

TEST_F(LeftoverFinderTest, EmptyIdentifierMatchesNothing) {
    writeFile(user("Preferences/.GlobalPreferences.plist"));
    makeFolder(user("Group Containers/.shared"));
    makeFolder(user("Caches/.hidden"));
    writeFile(user("Preferences/x.plist"));
    EXPECT_TRUE(finder().find("", "", std::nullopt, std::nullopt).empty());
}

TEST_F(LeftoverFinderTest, ProtectedEntriesAreDroppedAndMissingFoldersChangeNothing) {
    makeFolder(user("Application Support/com.example.editor.photoslibrary"));
    makeFolder(user("Caches/com.example.editor"));
    TempDir emptySystem;
    LeftoverFinder noSystem(Url::fromPath(home.path()), Url::fromPath(emptySystem / "absent"));
    auto found = noSystem.find("com.example.editor", "Editor", std::nullopt, std::nullopt);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].url, Url::fromPath(user("Caches/com.example.editor")));

    // Mail's container is protected as a tree, except inside a sandbox root the caller names.
    makeFolder(user("Containers/com.apple.mail"));
    EXPECT_TRUE(finder().find("com.apple.mail", "Mail", std::nullopt, std::nullopt).empty());
    EXPECT_EQ(finder({Url::fromPath(home.path())}).find("com.apple.mail", "Mail", std::nullopt, std::nullopt).size(),
              1u);
}

TEST_F(LeftoverFinderTest, LinuxFoldersFollowTheSameRulesAsTheirLibraryCounterparts) {
    const std::string app = home / "Applications/Tool Maker.AppImage";
    writeFile(app);
    makeFolder(home / ".config/org.example.ToolMaker");
    makeFolder(home / ".config/Tool Maker");
    makeFolder(home / ".local/share/org.example.toolmaker.helper");
    makeFolder(home / ".local/share/tool maker");
    makeFolder(home / ".local/share/flatpak");
    makeFolder(home / ".cache/tool maker");
    makeFolder(home / ".local/state/Tool Maker");
    makeFolder(home / ".var/app/org.example.ToolMaker/cache");
    makeFolder(home / ".var/app/Tool Maker");
    writeFile(home / ".local/share/applications/org.example.ToolMaker.desktop", "[Desktop Entry]\n");
    writeFile(home / ".local/share/applications/appimagekit-tool.desktop",
              "[Desktop Entry]\nName=Tool\nExec=\"" + app + "\" %U\n");
    writeFile(home / ".config/autostart/tool.desktop", "[Desktop Entry]\nTryExec=" + app + "\nExec=sh\n");
    writeFile(home / ".config/autostart/other.desktop", "[Desktop Entry]\nExec=" + app + "2\n");
    writeFile(home / ".config/autostart/Tool Maker.desktop", "[Desktop Entry]\nExec=sh\n");

    auto found = findByPath("org.example.ToolMaker", "Tool Maker", Url::fromPath(app));
    std::map<std::string, bool> exactness;
    for (const auto& [path, item] : found)
        exactness[path] = item.exact;
    EXPECT_EQ(exactness, (std::map<std::string, bool>{
                             {"~/.config/org.example.ToolMaker", true},
                             {"~/.config/Tool Maker", false},
                             {"~/.local/share/org.example.toolmaker.helper", true},
                             {"~/.local/share/tool maker", false},
                             {"~/.cache/tool maker", false},
                             {"~/.local/state/Tool Maker", false},
                             {"~/.var/app/org.example.ToolMaker", true},
                             {"~/.local/share/applications/org.example.ToolMaker.desktop", true},
                             {"~/.local/share/applications/appimagekit-tool.desktop", true},
                             {"~/.config/autostart/tool.desktop", true},
                         }));
    EXPECT_EQ(found["~/.config/autostart/tool.desktop"].reason, "The app's menu entry.");
    EXPECT_FALSE(found["~/.config/autostart/tool.desktop"].needsAdmin);
}

TEST_F(LeftoverFinderTest, AMacHomeIsNotSearchedTwiceForItsCaches) {
    makeFolder(user("Caches/com.example.editor"));
    const auto found = finder().find("com.example.editor", "Editor", std::nullopt, std::nullopt);
    EXPECT_EQ(found.size(), 1u);
}

TEST_F(LeftoverFinderTest, ADiskMountedWhereALeftoverWouldBeIsNoLeftover) {
    makeFolder(user("Caches/com.example.editor"));
    makeFolder(user("Application Support/com.example.editor"));
    auto report = withPrivateMounts([&] {
        if (!mountTmpfs(user("Caches/com.example.editor")))
            return std::string("mounting failed");
        const auto found = findByPath("com.example.editor", "Editor");
        if (found.size() != 1 || !found.contains("~/Library/Application Support/com.example.editor"))
            return std::string("the mounted folder is offered as a leftover");
        return std::string();
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// Flatpak's data kept on another folder behind a ~/.var link: the leftover is named where it
// really is, so that its move goes there through no link.
TEST_F(LeftoverFinderTest, FlatpakDataBehindALinkIsFoundWhereItReallyIs) {
    TempDir elsewhere;
    makeFolder(elsewhere / "var/app/org.example.ToolMaker/cache");
    makeSymlink(elsewhere / "var", home / ".var");
    const auto found = finder().find("org.example.ToolMaker", "Tool Maker", std::nullopt, std::nullopt);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].url.path(), DeletionGuard::canonical(elsewhere / "var/app/org.example.ToolMaker"));
    EXPECT_TRUE(found[0].exact);
}

// ~/.config and ~/.local/share kept elsewhere behind links, on another folder or inside the home:
// the leftovers in them are named where they really are, so the move takes them through no link.
TEST_F(LeftoverFinderTest, LeftoversInLinkedDataFoldersAreFoundWhereTheyReallyAreAndMove) {
    TempDir elsewhere;
    writeFile(elsewhere / "config/com.example.editor/settings.ini", "s");
    writeFile(home / "dotfiles/share/com.example.editor/data.db", "d");
    writeFile(elsewhere / "config/autostart/com.example.editor.desktop", "[Desktop Entry]\n");
    makeSymlink(elsewhere / "config", home / ".config");
    makeFolder(home / ".local");
    makeSymlink(home / "dotfiles/share", home / ".local/share");

    const std::vector<Leftover> found = finder().find("com.example.editor", "Editor", std::nullopt, std::nullopt);
    std::set<std::string> paths;
    std::vector<Trasher::Candidate> candidates;
    for (const Leftover& item : found) {
        paths.insert(item.url.path());
        candidates.push_back({item.url, item.size, 1, item.needsAdmin});
    }
    const std::string there = DeletionGuard::canonical(elsewhere.path());
    EXPECT_EQ(paths, (std::set<std::string>{there + "/config/com.example.editor",
                                            there + "/config/autostart/com.example.editor.desktop",
                                            home / "dotfiles/share/com.example.editor"}));

    const Trasher trasher{DeletionGuard(Url::fromPath(home.path())),
                          Url::fromPath(FreedesktopTrash::homeTrashFiles(home.path()))};
    const Trasher::Outcome moved = trasher.execute(trasher.plan(candidates));
    for (const Trasher::Failure& failure : moved.failed)
        ADD_FAILURE() << failure.path.path() << ": " << failure.reason;
    ASSERT_EQ(moved.removed.size(), 3u);
    EXPECT_FALSE(Fs::exists(elsewhere / "config/com.example.editor"));
    for (const RemovedItem& item : moved.removed)
        EXPECT_EQ(trasher.putBack(item), Trasher::PutBackResult::restored()) << item.originalPath.path();
    EXPECT_EQ(Fs::readFile(home / "dotfiles/share/com.example.editor/data.db"), "d");
}
