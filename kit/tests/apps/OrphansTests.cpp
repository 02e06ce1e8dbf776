#include "DovraneKit/apps/Orphans.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/trash/Trasher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// An isInstalled function that records what it was asked and knows a fixed set of apps.
struct InstalledQuery {
    std::set<std::string> known;
    std::shared_ptr<std::vector<std::string>> calls = std::make_shared<std::vector<std::string>>();

    std::function<bool(const std::string&)> function() const {
        return [known = known, calls = calls](const std::string& id) {
            calls->push_back(id);
            return known.contains(id);
        };
    }
};

OrphanFinder finderWith(const std::string& home, std::set<std::string> installed, const InstalledQuery& query) {
    return OrphanFinder(Url::fromPath(home), std::move(installed), query.function());
}

} // namespace

TEST(OrphanIdentifiers, SuffixesAreStrippedInOrderAndTheLetterCaseKept) {
    EXPECT_EQ(OrphanFinder::bundleID("com.example.gone.plist", "Preferences"), "com.example.gone");
    EXPECT_EQ(OrphanFinder::bundleID("com.example.gone.binarycookies", "Cookies"), "com.example.gone");
    EXPECT_EQ(OrphanFinder::bundleID("com.example.gone.savedState.plist", "Caches"), "com.example.gone");
    EXPECT_EQ(OrphanFinder::bundleID("COM.Example.Gone.plist", "Preferences"), "COM.Example.Gone");
    EXPECT_EQ(OrphanFinder::bundleID("io.my-app_2.tool", "Caches"), "io.my-app_2.tool");
    EXPECT_EQ(OrphanFinder::bundleID("com.example.gone.SAVEDSTATE", "Caches"), "com.example.gone.SAVEDSTATE")
        << "suffixes are stripped only in their own letter case";
}

TEST(OrphanIdentifiers, NamesThatAreNoIdentifiersGiveNothing) {
    for (auto name :
         {"com.example.plist", "xyz.example.gone", "com.example.my app", "com..example.gone", ".com.example.gone",
          "com.example.gone.", "com.example.gone~", "-com.example.gone", "com", "", "com.ex\xC3\xA4mple.gone"})
        EXPECT_EQ(OrphanFinder::bundleID(name, "Caches"), std::nullopt) << name;
}

TEST(OrphanDecision, CheapChecksComeFirstAndTheQueryGetsTheOriginalCase) {
    InstalledQuery query;
    query.known = {"com.elsewhere.App"};
    auto finder = finderWith("/nonexistent", {"Com.Example.Editor", "io", "net.tools.suite.pro"}, query);

    EXPECT_FALSE(finder.isOrphan("COM.APPLE.finder"));
    EXPECT_FALSE(finder.isOrphan("Group.Com.Apple.notes"));
    EXPECT_FALSE(finder.isOrphan("org.Sparkle-Project.Sparkle"));
    EXPECT_FALSE(finder.isOrphan("com.crashlyticsagent.x"));
    EXPECT_FALSE(finder.isOrphan("com.example.editor"));      // installed, compared lowercased
    EXPECT_FALSE(finder.isOrphan("com.example.other.thing")); // same vendor prefix
    EXPECT_FALSE(finder.isOrphan("io.example.gone"));         // below the installed "io"
    EXPECT_FALSE(finder.isOrphan("net"));                     // an installed identifier lies below it
    EXPECT_TRUE(query.calls->empty()) << "decided without asking the system";

    EXPECT_TRUE(finder.isOrphan("COM.Gone.App"));
    EXPECT_FALSE(finder.isOrphan("com.elsewhere.App"));
    EXPECT_TRUE(finder.isOrphan("com.elsewhere.app")) << "the query sees the case as passed";
    EXPECT_EQ(*query.calls, (std::vector<std::string>{"COM.Gone.App", "com.elsewhere.App", "com.elsewhere.app"}));
}

TEST(OrphanDecision, MissingOrThrowingQuery) {
    OrphanFinder noQuery(Url::fromPath("/nonexistent"), {}, nullptr);
    EXPECT_TRUE(noQuery.isOrphan("com.example.gone"));
    OrphanFinder throwing(Url::fromPath("/nonexistent"), {},
                          [](const std::string&) -> bool { throw std::runtime_error("no answer"); });
    EXPECT_FALSE(throwing.isOrphan("com.example.gone")) << "an unknown answer never offers an app's data";
}

TEST(OrphanFinding, ListsGoneAppsEntriesLargestFirst) {
    TempHome home;
    auto lib = [&](std::string_view relative) { return home / ("Library/" + std::string(relative)); };
    writeFileOfSize(lib("Preferences/com.example.gone.plist"), 4000);
    writeFileOfSize(lib("Caches/com.example.gone/blob"), 200000);
    // Holding a file, so it outweighs the empty cookies on any file system.
    writeFileOfSize(lib("Saved Application State/COM.Example.Gone.savedState/windows"), 1000);
    writeFile(lib("Cookies/com.example.gone.binarycookies"));
    writeFile(lib("Preferences/com.apple.finder.plist"));
    makeFolder(lib("Caches/org.sparkle-project.Sparkle"));
    makeFolder(lib("Caches/not-an-identifier"));
    makeFolder(lib("Group Containers/com.example.gone"));
    writeFile(lib("LaunchAgents/com.example.gone.plist"));
    writeFile(lib("Preferences/ByHost/com.example.gone.0A1B.plist"));
    makeFolder(lib("Application Support/com.example.old.photoslibrary"));
    makeFolder(lib("Logs/com.other.app"));

    InstalledQuery query;
    query.known = {"com.other.app"};
    auto orphans = finderWith(home.path(), {}, query).find();
    ASSERT_EQ(orphans.size(), 4u);
    EXPECT_EQ(orphans[0].url, Url::fromPath(lib("Caches/com.example.gone")));
    EXPECT_EQ(orphans[1].url, Url::fromPath(lib("Preferences/com.example.gone.plist")));
    EXPECT_GT(orphans[1].size, 0);
    EXPECT_EQ(orphans[2].url, Url::fromPath(lib("Saved Application State/COM.Example.Gone.savedState")));
    EXPECT_EQ(orphans[2].bundleID, "COM.Example.Gone");
    EXPECT_EQ(orphans[2].reason,
              "No installed app has the identifier COM.Example.Gone. Usually left behind when an app was deleted.");
    EXPECT_EQ(orphans[3].url, Url::fromPath(lib("Cookies/com.example.gone.binarycookies")));
    EXPECT_EQ(orphans[0].bundleID, "com.example.gone");
    EXPECT_EQ(std::count(query.calls->begin(), query.calls->end(), "com.other.app"), 1);

    ScopedEnv german("APP_LANG", "de");
    auto deutsch = finderWith(home.path(), {}, query).find();
    ASSERT_FALSE(deutsch.empty());
    EXPECT_EQ(deutsch[0].reason, "Keine installierte App hat die Kennung com.example.gone. Meist bleibt so etwas nach "
                                 "dem Löschen einer App zurück.");
}

TEST(OrphanFinding, AnInstalledAppOfTheSameVendorHidesTheEntries) {
    TempHome home;
    writeFile(home / "Library/Preferences/com.example.gone.plist");
    InstalledQuery query;
    EXPECT_TRUE(finderWith(home.path(), {"com.example.editor"}, query).find().empty());
    EXPECT_TRUE(query.calls->empty());
    EXPECT_TRUE(finderWith(home / "missing-home", {}, query).find().empty());
}

TEST(OrphanFinding, SizesAScanMeasuredAreTakenAndTheRestMeasured) {
    TempHome home;
    auto lib = [&](std::string_view relative) { return home / ("Library/" + std::string(relative)); };
    writeFileOfSize(lib("Caches/com.example.known/blob"), 8000);
    writeFileOfSize(lib("Caches/com.example.fresh/blob"), 40000);
    writeFileOfSize(lib("Logs/com.example.fresh/log"), 12000);

    InstalledQuery query;
    OrphanFinder finder = finderWith(home.path(), {}, query);
    auto measured = finder.find();
    ASSERT_EQ(measured.size(), 3u);

    // A scan's figure wins over the disk's, and reorders the list by size.
    finder.knownSizes = {{lib("Caches/com.example.known"), 1'000'000}, {lib("Caches/elsewhere"), 5}};
    auto reused = finder.find();
    ASSERT_EQ(reused.size(), 3u);
    EXPECT_EQ(reused[0].url, Url::fromPath(lib("Caches/com.example.known")));
    EXPECT_EQ(reused[0].size, 1'000'000);
    for (std::size_t i = 1; i < 3; ++i) {
        auto same = std::find_if(measured.begin(), measured.end(),
                                 [&](const Orphan& orphan) { return orphan.url == reused[i].url; });
        ASSERT_NE(same, measured.end());
        EXPECT_EQ(reused[i].size, same->size);
        EXPECT_GT(reused[i].size, 0);
    }
    EXPECT_GT(reused[1].size, reused[2].size);
}

// Entries of one size come in the Finder's order of their names, then of their paths, whatever
// order the folders list them in.
TEST(OrphanFinding, EqualSizesComeByNameThenByPath) {
    TempHome home;
    auto lib = [&](std::string_view relative) { return home / ("Library/" + std::string(relative)); };
    const std::vector<std::string> entries = {"Logs/com.example.zeta", "Caches/com.example.zeta",
                                              "Caches/Com.Example.Beta", "Caches/com.example.alpha10",
                                              "Caches/com.example.alpha9"};
    InstalledQuery query;
    OrphanFinder finder = finderWith(home.path(), {}, query);
    for (const std::string& entry : entries) {
        makeFolder(lib(entry));
        finder.knownSizes[lib(entry)] = 4096;
    }
    std::vector<std::string> order;
    for (const Orphan& orphan : finder.find())
        order.push_back(orphan.url.path().substr(lib("").size()));
    EXPECT_EQ(order, (std::vector<std::string>{"Caches/com.example.alpha9", "Caches/com.example.alpha10",
                                               "Caches/Com.Example.Beta", "Caches/com.example.zeta",
                                               "Logs/com.example.zeta"}));
}

TEST(OrphanFinderLinux, LinuxDataFoldersYieldOrphansByTheSameRules) {
    TempHome home;
    makeFolder(home / ".config/org.example.Gone");
    makeFolder(home / ".local/share/io.example.gone");
    makeFolder(home / ".cache/com.example.gone.cache");
    makeFolder(home / ".local/state/dev.example.gone");
    makeFolder(home / ".var/app/org.flatgone.App");
    makeFolder(home / ".var/app/org.example.Kept");
    makeFolder(home / ".local/share/org.sparkle-project.Sparkle");
    makeFolder(home / ".local/share/flatpak");
    makeFolder(home / ".config/gtk-3.0");
    makeFolder(home / ".local/share/com.installed.Desktop");

    OrphanFinder finder(Url::fromPath(home.path()), {"org.example.Kept"},
                        [](const std::string& id) { return id == "com.installed.Desktop"; });
    std::set<std::string> found;
    for (const Orphan& orphan : finder.find())
        found.insert(orphan.url.path().substr(home.path().size()) + " " + orphan.bundleID);
    EXPECT_EQ(found, (std::set<std::string>{"/.local/share/io.example.gone io.example.gone",
                                            "/.cache/com.example.gone.cache com.example.gone.cache",
                                            "/.local/state/dev.example.gone dev.example.gone",
                                            "/.var/app/org.flatgone.App org.flatgone.App"}));
}

TEST(OrphanFinding, ADiskMountedWhereAnOrphanWouldBeIsNoOrphan) {
    TempHome home;
    makeFolder(home / "Library/Caches/com.example.gone");
    writeFile(home / "Library/Preferences/com.example.gone.plist", "p");
    auto report = withPrivateMounts([&] {
        if (!mountTmpfs(home / "Library/Caches/com.example.gone"))
            return std::string("mounting failed");
        writeFileOfSize(home / "Library/Caches/com.example.gone/big", 100000);
        const auto orphans = finderWith(home.path(), {}, InstalledQuery{}).find();
        if (orphans.size() != 1 || orphans[0].url != Url::fromPath(home / "Library/Preferences/com.example.gone.plist"))
            return std::string("the mounted folder is offered as an orphan");
        return std::string();
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

TEST(OrphanFinderLinux, FlatpakDataBehindALinkIsFoundWhereItReallyIs) {
    TempHome home;
    TempDir elsewhere;
    makeFolder(elsewhere / "var/app/org.flatgone.App");
    makeSymlink(elsewhere / "var", home / ".var");
    const std::vector<Orphan> orphans = finderWith(home.path(), {}, InstalledQuery{}).find();
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0].url.path(), DeletionGuard::canonical(elsewhere / "var/app/org.flatgone.App"));
}

// ~/.config and ~/.local/share kept elsewhere behind links: their orphans are named where they
// really are, so the move takes them through no link.
TEST(OrphanFinderLinux, OrphansInLinkedDataFoldersAreFoundWhereTheyReallyAreAndMove) {
    TempHome home;
    TempDir elsewhere;
    writeFile(elsewhere / "config/org.example.Gone/settings.ini", "s");
    writeFile(elsewhere / "share/io.example.gone/data.db", "d");
    makeSymlink(elsewhere / "config", home / ".config");
    makeFolder(home / ".local");
    makeSymlink(elsewhere / "share", home / ".local/share");

    std::set<std::string> paths;
    std::vector<Trasher::Candidate> candidates;
    for (const Orphan& orphan : finderWith(home.path(), {}, InstalledQuery{}).find()) {
        paths.insert(orphan.url.path());
        candidates.push_back({orphan.url, orphan.size, 1, false});
    }
    const std::string there = DeletionGuard::canonical(elsewhere.path());
    EXPECT_EQ(paths, (std::set<std::string>{there + "/config/org.example.Gone", there + "/share/io.example.gone"}));

    const Trasher trasher{DeletionGuard(Url::fromPath(home.path())),
                          Url::fromPath(FreedesktopTrash::homeTrashFiles(home.path()))};
    const Trasher::Outcome moved = trasher.execute(trasher.plan(candidates));
    for (const Trasher::Failure& failure : moved.failed)
        ADD_FAILURE() << failure.path.path() << ": " << failure.reason;
    EXPECT_EQ(moved.removed.size(), 2u);
    EXPECT_FALSE(Fs::exists(elsewhere / "share/io.example.gone"));
}
