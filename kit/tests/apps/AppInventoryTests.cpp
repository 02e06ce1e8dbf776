#include "DovraneKit/apps/AppInventory.h"
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

std::string makeBundle(const std::string& path, const PlistDict& info) {
    writeFile(Path::join(path, "Contents/Info.plist"), Plist::toXml(PlistValue(info)));
    return path;
}

std::string makeApp(const std::string& path, const std::string& identifier, const std::string& name = {}) {
    PlistDict info{{"CFBundleIdentifier", identifier}, {"CFBundleShortVersionString", "1.0"}};
    if (!name.empty())
        info["CFBundleName"] = name;
    return makeBundle(path, info);
}

AppInventory inventoryOf(const std::vector<std::string>& folders, const std::vector<std::string>& caskrooms = {}) {
    std::vector<Url> folderUrls, caskroomUrls;
    for (const auto& f : folders)
        folderUrls.push_back(Url::fromPath(f));
    for (const auto& c : caskrooms)
        caskroomUrls.push_back(Url::fromPath(c));
    return AppInventory(Url::fromPath("/home/nobody"), folderUrls, caskroomUrls);
}

std::vector<std::string> namesOf(const std::vector<InstalledApp>& apps) {
    std::vector<std::string> names;
    for (const auto& app : apps)
        names.push_back(app.name);
    return names;
}

std::optional<InstalledApp> readApp(const std::string& path, const std::map<std::string, std::string>& casks = {}) {
    return inventoryOf({}).read(Url::fromPath(path), casks);
}

} // namespace

TEST(AppInventoryFolders, DefaultFoldersOnlyWhenNoListIsGiven) {
    AppInventory defaults(Url::fromPath("/home/jane"), std::nullopt, {});
    EXPECT_EQ(defaults.folders,
              (std::vector<Url>{Url::fromPath("/Applications"), Url::fromPath("/Applications/Utilities"),
                                Url::fromPath("/home/jane/Applications"), Url::fromPath("/home/jane/.local/bin")}));
    AppInventory none(Url::fromPath("/home/jane"), std::vector<Url>{}, {});
    EXPECT_TRUE(none.folders.empty());
    EXPECT_TRUE(none.list().empty());
}

TEST(AppInventoryListing, EachBundleOnceFromTheFirstFolderAndOnlyRealApps) {
    TempDir dir;
    makeApp(dir / "system/Foo.app", "com.example.foo", "Foo");
    makeApp(dir / "system/Loud.APP", "com.example.loud", "Loud");
    makeBundle(dir / "system/NoID.app", {{"CFBundleName", "NoID"}});
    makeBundle(dir / "system/EmptyID.app", {{"CFBundleIdentifier", ""}, {"CFBundleName", "EmptyID"}});
    makeApp(dir / "system/Notes.txt", "com.example.notes", "Notes");
    makeSymlink(dir / "system/Foo.app", dir / "home/Foo.app");
    makeSymlink(dir / "system/Foo.app", dir / "home/Alias.app");
    makeApp(dir / "home/Bar.app", "com.example.bar", "Bar");

    auto apps = inventoryOf({dir / "system", dir / "missing", dir / "home"}).list();
    ASSERT_EQ(namesOf(apps), (std::vector<std::string>{"Bar", "Foo"}));
    EXPECT_EQ(apps[1].path, Url::fromPath(dir / "system/Foo.app"));
    EXPECT_EQ(apps[0].path, Url::fromPath(dir / "home/Bar.app"));
    EXPECT_EQ(apps[0].size, 0) << "the inventory never measures";
}

TEST(AppInventoryListing, FinderOrderIsCaseInsensitiveNumericAndStable) {
    TempDir dir;
    makeApp(dir / "a/One.app", "com.example.one", "App 10");
    makeApp(dir / "a/Two.app", "com.example.two", "zeta");
    makeApp(dir / "a/Three.app", "com.example.three", "Twin");
    makeApp(dir / "b/Four.app", "com.example.four", "App 2");
    makeApp(dir / "b/Five.app", "com.example.five", "Alpha");
    makeApp(dir / "b/Six.app", "com.example.six", "twin");

    auto apps = inventoryOf({dir / "a", dir / "b"}).list();
    EXPECT_EQ(namesOf(apps), (std::vector<std::string>{"Alpha", "App 2", "App 10", "Twin", "twin", "zeta"}));
    ASSERT_EQ(apps.size(), 6u);
    EXPECT_EQ(apps[3].bundleID, "com.example.three") << "equal names keep the order they were found in";
}

TEST(AppInventoryReading, NamesLoseDirectionMarksAndFallBackInOrder) {
    TempDir dir;
    auto display =
        readApp(makeBundle(dir / "Display.app", {{"CFBundleIdentifier", "a.b.c"},
                                                 {"CFBundleDisplayName", "\u200FHebrew\u200E App\u202A\u202C"},
                                                 {"CFBundleName", "Other"}}));
    ASSERT_TRUE(display);
    EXPECT_EQ(display->name, "Hebrew App");

    auto nameOnly =
        readApp(makeBundle(dir / "NameOnly.app", {{"CFBundleIdentifier", "a.b.c"}, {"CFBundleName", " Spaced "}}));
    EXPECT_EQ(nameOnly->name, " Spaced ") << "nothing but the marks is removed";

    auto fallback = readApp(
        makeBundle(dir / "Typed.app",
                   {{"CFBundleIdentifier", "a.b.c"}, {"CFBundleDisplayName", 7}, {"CFBundleName", "Typed Name"}}));
    EXPECT_EQ(fallback->name, "Typed Name") << "a value that is not text counts as absent";
    EXPECT_EQ(readApp(makeBundle(dir / "File Name.app", {{"CFBundleIdentifier", "a.b.c"}}))->name, "File Name");

    EXPECT_FALSE(readApp(dir / "Missing.app"));
    EXPECT_FALSE(readApp(makeBundle(dir / "Nothing.app", {})));
    EXPECT_FALSE(readApp(makeBundle(dir / "NumberID.app", {{"CFBundleIdentifier", 42}})));
    EXPECT_FALSE(readApp(makeBundle(dir / "BlankID.app", {{"CFBundleIdentifier", ""}})));
}

TEST(AppInventoryReading, VersionAndBuildFallBacks) {
    TempDir dir;
    auto both = readApp(makeBundle(
        dir / "Both.app",
        {{"CFBundleIdentifier", "a.b.c"}, {"CFBundleShortVersionString", "2.1"}, {"CFBundleVersion", "2100"}}));
    EXPECT_EQ(both->version, "2.1");
    EXPECT_EQ(both->build, "2100");

    auto buildOnly =
        readApp(makeBundle(dir / "Build.app", {{"CFBundleIdentifier", "a.b.c"}, {"CFBundleVersion", "77"}}));
    EXPECT_EQ(buildOnly->version, "77");
    EXPECT_EQ(buildOnly->build, "77") << "kept even when it equals the version";

    auto neither = readApp(makeBundle(dir / "Neither.app", {{"CFBundleIdentifier", "a.b.c"}}));
    EXPECT_EQ(neither->version, "?");
    EXPECT_EQ(neither->build, std::nullopt);
}

TEST(AppInventoryReading, SourceFeedKeyAndCaskToken) {
    TempDir dir;
    auto receipt = [](const std::string& app) {
        writeFile(Path::join(app, "Contents/_MASReceipt/receipt"), "r");
        return app;
    };
    auto sparkle = [](const std::string& app) {
        makeFolder(Path::join(app, "Contents/Frameworks/Sparkle.framework"));
        return app;
    };
    const std::map<std::string, std::string> casks{{"Store.app", "store"}, {"Brewed.app", "brewed"}};

    auto store = readApp(sparkle(receipt(makeApp(dir / "Store.app", "com.example.store"))), casks);
    EXPECT_EQ(store->source, AppSource::appStore);
    EXPECT_EQ(store->caskToken, "store") << "the token is kept whatever the source";
    EXPECT_FALSE(store->isSystem);

    auto brewed = readApp(makeBundle(dir / "Brewed.app", {{"CFBundleIdentifier", "com.example.brewed"},
                                                          {"SUFeedURL", "https://example.com/appcast.xml"},
                                                          {"SUPublicEDKey", "a2V5"}}),
                          casks);
    EXPECT_EQ(brewed->source, AppSource::homebrew);
    EXPECT_EQ(brewed->caskToken, "brewed");
    EXPECT_EQ(brewed->feedURL, Url::parse("https://example.com/appcast.xml"));
    EXPECT_EQ(brewed->edKey, "a2V5");
    EXPECT_EQ(readApp(dir / "Brewed.app")->source, AppSource::sparkle) << "an empty cask map makes no Homebrew app";

    auto framework = readApp(
        sparkle(makeBundle(dir / "Framework.app", {{"CFBundleIdentifier", "com.example.fw"}, {"SUPublicEDKey", ""}})));
    EXPECT_EQ(framework->source, AppSource::sparkle);
    EXPECT_EQ(framework->feedURL, std::nullopt);
    EXPECT_EQ(framework->edKey, std::nullopt) << "an empty key is no key";

    auto badFeed = readApp(
        makeBundle(dir / "BadFeed.app", {{"CFBundleIdentifier", "com.example.bad"}, {"SUFeedURL", "not a url"}}));
    EXPECT_EQ(badFeed->feedURL, std::nullopt);
    EXPECT_EQ(badFeed->source, AppSource::unknown);
    EXPECT_EQ(badFeed->caskToken, std::nullopt);
    EXPECT_EQ(badFeed->lastUsed, std::nullopt) << "Linux keeps no last-use date";
}

TEST(AppInventoryCasks, MetadataNamesAppsAndTokensWithoutItAreMadeUp) {
    TempDir dir;
    const std::string first = dir / "first", second = dir / "second";
    writeFile(
        first + "/visual-studio-code/.metadata/1.90/20240101/Casks/visual-studio-code.json",
        R"({"artifacts":[{"app":["Visual Studio Code.app"]},{"uninstall":["Code Helper.app","/Applications/Nope.app"]}]})");
    writeFile(first + "/visual-studio-code/.metadata/1.91/20240202/Casks/visual-studio-code.json",
              R"({"artifacts":[{"app":["Code Insiders.app"]}]})");
    writeFile(first + "/visual-studio-code/.metadata/1.91/20240202/Casks/other.json", R"(["Wrong File.app"])");
    makeFolder(first + "/google-chrome");
    writeFile(first + "/odd-token/.metadata/1/Casks/odd-token.json", "\"Broken\xFF.app\"");
    makeFolder(first + "/.hidden");
    writeFile(second + "/chrome-beta/.metadata/2/Casks/chrome-beta.json", R"({"app":["Google Chrome.app"]})");

    auto casks = inventoryOf({}, {first, dir / "missing"}).caskMap();
    EXPECT_EQ(casks, (std::map<std::string, std::string>{{"Visual Studio Code.app", "visual-studio-code"},
                                                         {"Code Helper.app", "visual-studio-code"},
                                                         {"Code Insiders.app", "visual-studio-code"},
                                                         {"Google Chrome.app", "google-chrome"},
                                                         {"Odd Token.app", "odd-token"}}));

    auto overridden = inventoryOf({}, {first, second}).caskMap();
    EXPECT_EQ(overridden.at("Google Chrome.app"), "chrome-beta") << "a later caskroom wins";
    EXPECT_EQ(overridden.count("Chrome Beta.app"), 0u);
}

TEST(AppInventoryCasks, ListingClassesAppsNamedByACask) {
    TempDir dir;
    makeFolder(dir / "Caskroom/google-chrome");
    makeApp(dir / "apps/Google Chrome.app", "com.google.Chrome", "Google Chrome");
    auto apps = inventoryOf({dir / "apps"}, {dir / "Caskroom"}).list();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].source, AppSource::homebrew);
    EXPECT_EQ(apps[0].caskToken, "google-chrome");
}

TEST(AppInventoryTeam, OnlyATrustedSignatureNamesATeam) {
    TempHome home;
    TempDir dir;
    const std::string identity = "Developer ID Application: Jane Doe (TEAM123456)";
    ASSERT_TRUE(SigningIdentities::create(identity, "TEAM123456"));
    std::string developer = makeApp(dir / "Signed.app", "com.example.signed");
    std::string adHoc = makeApp(dir / "AdHoc.app", "com.example.adhoc");
    std::string unsignedApp = makeApp(dir / "Unsigned.app", "com.example.unsigned");
    ASSERT_TRUE(CodeSigning::sign(developer, identity));
    ASSERT_TRUE(CodeSigning::sign(adHoc, CodeSigning::adHocIdentity));

    EXPECT_EQ(AppInventory::teamID(Url::fromPath(developer)), "TEAM123456");
    EXPECT_EQ(readApp(developer)->teamID, "TEAM123456");
    EXPECT_EQ(AppInventory::teamID(Url::fromPath(adHoc)), std::nullopt);
    EXPECT_EQ(AppInventory::teamID(Url::fromPath(unsignedApp)), std::nullopt);
    EXPECT_EQ(AppInventory::teamID(*Url::parse("https://example.com/Signed.app")), std::nullopt);
}
