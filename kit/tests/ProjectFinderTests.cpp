#include "DovraneKit/ProjectFinder.h"

#include "DovraneKit/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const Date now = Date::now();

// A project folder with a marker file and one non-empty artifact folder, all of it last
// changed `age` days ago.
void makeProject(const std::string& project, const std::string& marker, const std::string& artifact, double age) {
    writeFile(Path::join(project, marker), "{}");
    writeFileOfSize(Path::join(project, artifact + "/payload.bin"), 5000);
    setTimesRecursively(project, daysAgo(age, now));
}

std::vector<CleanupItem> findBelow(const std::string& root, int minimumAgeDays = 30, int maxDepth = 6) {
    return ProjectFinder{{Url::fromPath(root)}, minimumAgeDays, maxDepth, now}.find();
}

std::vector<std::string> names(const std::vector<CleanupItem>& items) {
    std::vector<std::string> result;
    for (const auto& item : items)
        result.push_back(item.name);
    return result;
}

} // namespace

TEST(ProjectFinder, StaleProjectIsListedWithItsAgeAndTool) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 40);

    auto items = findBelow(root.path());
    ASSERT_EQ(items.size(), 1u);
    const CleanupItem& item = items[0];
    EXPECT_EQ(item.name, "shop/node_modules");
    EXPECT_EQ(item.url, Url::fromPath(root / "shop/node_modules"));
    EXPECT_EQ(item.reason, "shop was last changed 40 days ago. npm install brings this folder back.");
    EXPECT_EQ(item.source, "projects.node_modules");
    EXPECT_EQ(item.safety, Safety::safe);
    EXPECT_EQ(item.action, CleanupAction::trash);
    EXPECT_GE(item.size, 5000);
    EXPECT_EQ(item.fileCount, 1);
    ASSERT_TRUE(item.lastUsed);
    EXPECT_NEAR(item.lastUsed->secondsSinceReference, daysAgo(40, now).secondsSinceReference, 1.0);

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(findBelow(root.path())[0].reason,
              "shop wurde vor 40 Tagen zuletzt geändert. npm install legt den Ordner wieder an.");
}

TEST(ProjectFinder, ProjectYoungerThanTheThresholdIsLeftAlone) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 29.9);
    EXPECT_TRUE(findBelow(root.path(), 30).empty());
    EXPECT_EQ(findBelow(root.path(), 29).size(), 1u);
}

TEST(ProjectFinder, ArtifactNeedsItsMarkerBesideIt) {
    TempDir root;
    makeProject(root / "plain", "README.md", "node_modules", 60);
    // A project inside a dependency folder is never reached.
    makeProject(root / "plain/node_modules/inner", "package.json", "node_modules", 60);
    makeProject(root / "native", "CMakeLists.txt", "build", 60);
    makeProject(root / "stray", "notes.txt", "build", 60);

    auto items = findBelow(root.path());
    ASSERT_EQ(names(items), std::vector<std::string>{"native/build"});
    EXPECT_TRUE(items[0].reason.ends_with("the next build brings this folder back."));
}

TEST(ProjectFinder, EveryMatchingRowOfOneFolderGivesItsOwnItem) {
    TempDir root;
    writeFile(root / "tool/requirements.txt", "x");
    writeFileOfSize(root / "tool/venv/lib.py", 3000);
    writeFileOfSize(root / "tool/.venv/lib.py", 3000);
    setTimesRecursively(root / "tool", daysAgo(90, now));

    auto items = findBelow(root.path());
    EXPECT_EQ(names(items), (std::vector<std::string>{"tool/.venv", "tool/venv"}));
    for (const auto& item : items)
        EXPECT_TRUE(item.reason.ends_with("pip install brings this folder back.")) << item.reason;
}

TEST(ProjectFinder, OnlyChangesOutsideBuildAndVersionControlFoldersCount) {
    TempDir root;
    for (const char* name : {"a", "b", "c", "d"}) {
        std::string project = root / name;
        writeFile(Path::join(project, "src/main.js"), "x");
        writeFile(Path::join(project, ".git/HEAD"), "ref");
        makeProject(project, "package.json", "node_modules", 45);
    }
    setTimes(root / "a/node_modules/payload.bin", now);
    setTimes(root / "b/.git/HEAD", now);
    writeFile(root / "c/src/.DS_Store", "x");
    setTimes(root / "c/src/.DS_Store", now);
    setTimes(root / "c/src", daysAgo(45, now));
    setTimes(root / "d/src/main.js", daysAgo(2, now));

    auto found = names(findBelow(root.path()));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"a/node_modules", "b/node_modules", "c/node_modules"}));
}

TEST(ProjectFinder, LinkedAndEmptyArtifactsAreNotListed) {
    TempDir root;
    writeFileOfSize(root / "elsewhere/dep.js", 8000);
    writeFile(root / "web/package.json", "{}");
    makeSymlink(root / "elsewhere", root / "web/node_modules");
    writeFile(root / "crate/Cargo.toml", "x");
    makeFolder(root / "crate/target");
    setTimesRecursively(root.path(), daysAgo(100, now));

    EXPECT_TRUE(findBelow(root.path()).empty());
}

TEST(ProjectFinder, DepthLimitAndFoldersNeverEntered) {
    TempDir root;
    makeProject(root / "1/2/3/4/5/six", "package.json", "node_modules", 50);
    makeProject(root / "1/2/3/4/5/6/seven", "package.json", "node_modules", 50);
    for (const char* hidden : {".hidden/p", "Library/p", "Pods/p", "Tool.app/p", "Old.photoslibrary/p", "Lib.framework/p"})
        makeProject(root / hidden, "package.json", "node_modules", 50);
    makeProject(root / "Shelf.APP/p", "package.json", "node_modules", 50);
    makeSymlink(root / "1", root / "link");
    setTimesRecursively(root.path(), daysAgo(50, now));

    auto found = names(findBelow(root.path()));
    std::sort(found.begin(), found.end());
    // Only the bundle extension written in capitals is entered.
    EXPECT_EQ(found, (std::vector<std::string>{"p/node_modules", "six/node_modules"}));
    EXPECT_EQ(names(findBelow(root.path(), 30, 7)).size(), 3u);
}

TEST(ProjectFinder, RootsInOrderAndMissingRootsYieldNothing) {
    TempDir first, second;
    makeProject(first / "alpha", "Cargo.toml", "target", 70);
    makeProject(second / "beta", "package.json", ".next", 70);
    ProjectFinder finder{{Url::fromPath(second.path()), Url::fromPath("/nonexistent-dovrane-root"),
                          Url::fromPath(first.path())},
                         30, 6, now};
    auto items = finder.find();
    EXPECT_EQ(names(items), (std::vector<std::string>{"beta/.next", "alpha/target"}));
    EXPECT_EQ(items[1].source, "projects.target");
    EXPECT_TRUE(items[1].reason.ends_with("cargo build brings this folder back."));
}

TEST(ProjectFinder, StoppedWalkFindsNothingMore) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 40);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE((ProjectFinder{{Url::fromPath(root.path())}, 30, 6, now}.find(stop.get_token()).empty()));
}

TEST(ProjectFinder, LastChangeSkipsIgnoredNamesAndNeverDatesTheFolderItself) {
    TempDir root;
    writeFile(root / "p/old.txt", "x");
    writeFile(root / "p/vendor/new.txt", "x");
    setTimesRecursively(root / "p", daysAgo(10, now));
    setTimes(root / "p/vendor/new.txt", daysAgo(1, now));
    setTimes(root / "p", now);

    auto all = ProjectFinder::lastChange(Url::fromPath(root / "p"), {});
    auto ignoring = ProjectFinder::lastChange(Url::fromPath(root / "p"), {"vendor"});
    ASSERT_TRUE(all && ignoring);
    EXPECT_NEAR(all->secondsSinceReference, daysAgo(1, now).secondsSinceReference, 1.0);
    EXPECT_NEAR(ignoring->secondsSinceReference, daysAgo(10, now).secondsSinceReference, 1.0);

    makeFolder(root / "empty");
    EXPECT_FALSE(ProjectFinder::lastChange(Url::fromPath(root / "empty"), {}));
    EXPECT_FALSE(ProjectFinder::lastChange(Url::fromPath(root / "missing"), {}));
}
