#include "DovraneKit/system/DeletionGuard.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

using namespace dovrane;
using dovrane::testing::makeFolder;
using dovrane::testing::makeSymlink;
using dovrane::testing::TempDir;
using dovrane::testing::TempHome;

namespace {

std::string verdictText(const DeletionGuard& guard, const std::string& path) {
    auto verdict = guard.check(Url::fromPath(path));
    return verdict.isAllowed() ? "allowed" : *verdict.rule();
}

class DeletionGuardTest : public ::testing::Test {
protected:
    TempHome home;
    DeletionGuard guard{Url::fromPath(home.path())};

    // Each pair is a path ("~" for the home folder) and the expected rule id or "allowed".
    void expectVerdicts(std::initializer_list<std::pair<std::string, std::string>> cases,
                        const DeletionGuard* judge = nullptr) const {
        for (const auto& [spelled, expected] : cases) {
            std::string path = spelled.starts_with("~") ? home.path() + spelled.substr(1) : spelled;
            EXPECT_EQ(verdictText(judge ? *judge : guard, path), expected) << spelled;
        }
    }
};

} // namespace

TEST_F(DeletionGuardTest, SystemFoldersAreProtectedAndTheirOpenPlacesAreNot) {
    expectVerdicts({{"/", "root"},
                    {"/System/Library/Foo", "system"},
                    {"/usr/local/bin/tool", "usr"},
                    {"/private/var/db", "private"},
                    {"/Volumes", "volumes"},
                    {"/Volumes/Backup", "allowed"},
                    {"/Applications", "applications"},
                    {"/Applications/Some.app", "allowed"},
                    {"/Users", "users"},
                    {"/Users/Shared/file", "allowed"},
                    {"/Library", "library"},
                    {"/Library/Caches/x", "allowed"},
                    {"/Library/Apple/x", "library.apple"},
                    {"/Library/Keychains/x", "library.keychains"},
                    {"/tmp/scratch", "allowed"}});
}

TEST_F(DeletionGuardTest, HomeFoldersStayWhileTheirContentsMayGo) {
    expectVerdicts({{"~", "home"},
                    {"~/", "home"},
                    {"~/Library", "home.library"},
                    {"~/Music", "allowed"},
                    {"~/documents", "allowed"}});
    for (std::string folder :
         {"Documents", "Desktop", "Downloads", "Pictures", "Library/Caches", "Library/Logs",
          "Library/Application Support", "Library/Containers", "Library/Group Containers", "Library/Preferences"})
        expectVerdicts({{"~/" + folder, "home.folders"}, {"~/" + folder + "/child", "allowed"}});
}

TEST_F(DeletionGuardTest, PrivateTreesAreProtectedWholeExceptMailDownloadsButNeverPhotos) {
    const std::string downloads = "~/Library/Containers/com.apple.mail/Data/Library/Mail Downloads";
    expectVerdicts({{"~/.Trash/old.txt", "home.trash"},
                    {"~/Library/Mobile Documents/a", "icloud"},
                    {"~/Library/CloudStorage/Dropbox/a", "cloudStorage"},
                    {"~/Library/Keychains/login.keychain-db", "keychains"},
                    {"~/Library/Mail/V10/x", "mail"},
                    {"~/Library/Messages/Attachments/ab", "messages"},
                    {"~/Library/Containers/com.apple.mail/Data/x", "mail.container"},
                    {downloads, "mail.container"},
                    {downloads + "/1234/invoice.pdf", "allowed"},
                    {downloads + "/x.photoslibrary", "photos"},
                    {"~/Pictures/P.photoslibrary/a/1.heic", "photos"},
                    {"~/Pictures/notes.photoslibrary.txt", "allowed"}});
}

TEST_F(DeletionGuardTest, SandboxRootsOpenTheirContentsButNotThemselves) {
    TempDir outside;
    makeFolder(home / ".Trash/box");
    makeSymlink(home / ".Trash/box", outside / "box-link");
    DeletionGuard boxed(Url::fromPath(home.path()), {Url::fromPath(outside / "box-link")});
    expectVerdicts({{"~/.Trash/box", "home.trash"},
                    {"~/.Trash/box/file", "allowed"},
                    {outside / "box-link/file", "allowed"},
                    {"~/.Trash/other", "home.trash"}},
                   &boxed);
    // Exact rules still hold inside a sandbox root, and so do the keys of every home.
    DeletionGuard wide(Url::fromPath(home.path()), {Url::fromPath(home.path())});
    expectVerdicts({{"~", "home"},
                    {"~/Documents", "home.folders"},
                    {"~/.ssh/id_ed25519", "home.ssh"},
                    {"~/.local/share/Trash/x", "allowed"}},
                   &wide);
}

TEST(DeletionGuardCanonical, RemovesDotsSlashesAndLinks) {
    TempDir dir;
    makeFolder(dir / "real/inner");
    makeSymlink(dir / "real", dir / "alias");
    makeSymlink(dir / "nowhere", dir / "dangling");
    std::pair<std::string, std::string> cases[] = {{"", "/"},
                                                   {"/./../..", "/"},
                                                   {"//usr///lib/", "/usr/lib"},
                                                   {"tmp", "/tmp"},
                                                   {dir / "alias/./inner/../inner", dir / "real/inner"},
                                                   // Canonical up to the deepest existing folder, the rest as spelled.
                                                   {dir / "alias/inner/new/deeper", dir / "real/inner/new/deeper"},
                                                   {dir / "alias/missing/../file", dir / "real/file"},
                                                   {dir / "dangling/x", dir / "dangling/x"},
                                                   // The kernel ends a path at a NUL byte.
                                                   {std::string("/usr\0/../tmp", 12), "/usr"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(DeletionGuard::canonical(path), expected) << path;
}

TEST_F(DeletionGuardTest, ParentStepsLeaveALinkTargetNotTheLink) {
    TempDir work;
    makeSymlink("/usr/lib", work / "x/link");
    EXPECT_EQ(DeletionGuard::canonical(work / "x/link/../etc"), "/usr/etc");
    EXPECT_EQ(DeletionGuard::canonical(work / "missing/../x/link/../y"), "/usr/y");
    EXPECT_EQ(DeletionGuard::canonical(work / "x/link/missing/../../y"), "/usr/y");
    // A project linking into the key folder does not let ".." reach the keys.
    makeFolder(home / ".ssh/sub");
    makeSymlink(home / ".ssh/sub", home / "Documents/project/keys");
    expectVerdicts({{work / "x/link/../etc", "usr"},
                    {work / "x/etc", "allowed"},
                    {"~/Documents/project/keys/../id_ed25519", "home.ssh"}});

    // The home folder given through a link is judged by its real path.
    makeSymlink(home.path(), work / "home-link");
    DeletionGuard linked(Url::fromPath(work / "home-link"));
    EXPECT_EQ(linked.home, guard.home);
    expectVerdicts({{work / "home-link/Documents", "home.folders"}, {"~/Documents", "home.folders"}}, &linked);
}

TEST_F(DeletionGuardTest, LinuxSystemFoldersAndHomePlaces) {
    expectVerdicts({{"/etc/hosts", "etc"},
                    {"/boot/vmlinuz", "boot"},
                    {"/dev/null", "dev"},
                    {"/proc/self/status", "proc"},
                    {"/sys/kernel", "sys"},
                    {"/run/lock", "run"},
                    {"/snap/core/1", "snap"},
                    {"/var/log/syslog", "var"},
                    {"/var/tmp", "var"},
                    {"/var/tmp/build-cache", "allowed"},
                    {"/var/tmpfiles/x", "var"},
                    {"/home", "homes"},
                    {"/root", "root.home"},
                    {"/media", "media"},
                    {"/mnt", "mnt"},
                    {"/opt", "opt"},
                    {"/srv", "srv"},
                    {"/home/someone-else", "allowed"},
                    {"/mnt/disk/file", "allowed"},
                    {"/opt/tool", "allowed"}});
    // On merged-/usr systems these resolve below /usr; either way they are protected.
    for (const char* path : {"/lib/x", "/lib32/x", "/lib64/x", "/libx32/x"})
        EXPECT_FALSE(guard.check(Url::fromPath(path)).isAllowed()) << path;

    expectVerdicts({{"~/.ssh", "home.ssh"},
                    {"~/.ssh/id_ed25519", "home.ssh"},
                    {"~/.gnupg/pubring.kbx", "home.gnupg"},
                    {"~/.local/share/keyrings/login.keyring", "home.keyrings"},
                    {"~/.local/share/Trash/files/old.txt", "home.trash"},
                    {"~/.local/share/flatpak", "home.flatpak"},
                    {"~/.local/share/flatpak/app/org.example.App/current", "home.flatpak"},
                    {"~/.local/share/flatpaks", "allowed"},
                    {"~/.config", "home.config"},
                    {"~/.local", "home.local"},
                    {"~/.local/share", "home.local.share"},
                    {"~/.cache", "home.cache"},
                    {"~/.config/app", "allowed"},
                    {"~/.local/share/app", "allowed"},
                    {"~/.cache/app/b", "allowed"}});

    // A Trash away from the home folder is protected as well.
    TempDir data;
    dovrane::testing::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    DeletionGuard elsewhere(Url::fromPath(home.path()));
    expectVerdicts({{data / "Trash/files/old.txt", "home.trash"},
                    {"~/.local/share/Trash/x", "home.trash"},
                    {data / "app/cache", "allowed"}},
                   &elsewhere);
}

// A home kept below /var (image-based desktops link /home there) is its user's: the system's
// rule for /var does not swallow it, the home's own rules still hold, whichever spelling the
// home is given in. No other folder below /var is freed, nor a home there that is not the user's.
TEST(DeletionGuardHomeUnderVar, TheUsersOwnHomeIsJudgedByTheHomesRulesOnly) {
    const auto report = dovrane::testing::withHomeUnderVar([](const std::string& spelled, const std::string& real) {
        std::string problems;
        auto expect = [&](const DeletionGuard& guard, const std::string& path, const std::string& expected) {
            if (std::string found = verdictText(guard, path); found != expected)
                problems += path + ": " + found + " instead of " + expected + "; ";
        };
        makeFolder(real + "/.cache/app");
        for (const std::string& home : {spelled, real}) {
            const DeletionGuard guard{Url::fromPath(home)};
            if (!guard.ownHome || guard.home != real)
                problems += home + " is not the user's own home; ";
            for (const std::string& base : {spelled, real}) {
                expect(guard, base + "/.cache/app", "allowed");
                expect(guard, base + "/Downloads/old.iso", "allowed");
                expect(guard, base, "home");
                expect(guard, base + "/.cache", "home.folders"); // the cache home, as Library/Caches
                expect(guard, base + "/.config", "home.config");
                expect(guard, base + "/.ssh/id_ed25519", "home.ssh");
                expect(guard, base + "/.local/share/Trash/files/x", "home.trash");
            }
            expect(guard, "/var/home", "var");
            expect(guard, "/var/home/someone/x", "var");
            expect(guard, "/var/home/u2/x", "var");
            expect(guard, "/var/lib/dpkg/status", "var");
            expect(guard, "/var/tmp/x", "allowed");
        }
        // A folder of someone else's taken for the home frees nothing.
        const DeletionGuard foreign{Url::fromPath("/var/home")};
        if (foreign.ownHome)
            problems += "root's /var/home is taken for the user's own; ";
        expect(foreign, real + "/.cache/app", "var");
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");

    // Root owns every folder below /var: only root's home in the password database is root's own.
    const auto rootsReport = dovrane::testing::withPrivateMounts([] {
        if (!dovrane::testing::mountTmpfs("/var"))
            return std::string("mounting failed");
        makeFolder("/var/lib/service/.cache/app");
        const DeletionGuard guard{Url::fromPath("/var/lib/service")};
        std::string found = verdictText(guard, "/var/lib/service/.cache/app");
        return guard.ownHome || found != "var" ? "a folder of root's below /var was freed: " + found : std::string();
    });
    ASSERT_TRUE(rootsReport);
    EXPECT_EQ(*rootsReport, "");
}

// A collector's items judged together get the verdicts they get one by one: a link among them
// is followed, and folders that alternate, are spelled oddly or lead through a link still count.
TEST_F(DeletionGuardTest, CheckingManyAtOnceJudgesEachAsAlone) {
    makeFolder(home / ".cache/app/inner");
    makeFolder(home / ".ssh");
    makeFolder(home / "Documents");
    makeSymlink(home / "Documents", home / ".cache/documents-link");
    makeSymlink(home / ".ssh", home / ".cache/keys");
    makeSymlink(home / ".cache", home / "cache-link");
    const std::vector<std::string> paths = {home / ".cache/app",
                                            home / ".cache/documents-link",
                                            home / ".cache/keys",
                                            home / ".cache/not-there",
                                            home / "cache-link/app",
                                            home / "cache-link/keys",
                                            home / ".cache/app/inner/..",
                                            home / ".cache/app/.",
                                            home / ".cache//app",
                                            home / "Documents",
                                            home / ".cache/app",
                                            std::string("/usr\0/../tmp", 12),
                                            "/",
                                            "relative/name"};
    std::vector<Url> urls;
    for (const std::string& path : paths)
        urls.push_back(Url::fromPath(path));
    const std::vector<DeletionGuard::Verdict> together = guard.checkEach(urls);
    ASSERT_EQ(together.size(), urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i)
        EXPECT_EQ(together[i], guard.check(urls[i])) << paths[i];
    // The cases that matter are really told apart.
    EXPECT_TRUE(together[0].isAllowed());
    EXPECT_EQ(together[1].rule(), std::optional<std::string>("home.folders"));
    EXPECT_EQ(together[2].rule(), std::optional<std::string>("home.ssh"));
    EXPECT_EQ(together[5].rule(), std::optional<std::string>("home.ssh"));
    EXPECT_TRUE(guard.checkEach({}).empty());
}

// Every home of the machine is guarded, not only the user's: nothing inside another user's home
// may go, and the keys and keyrings of every home stay, root's included, whoever asks. A folder
// named by DOVRANE_HOME_FOLDERS stands for /home here.
TEST_F(DeletionGuardTest, EveryOtherHomeAndTheKeysOfEveryHomeAreRefused) {
    TempDir homes;
    makeFolder(homes / "other/.cache/app");
    makeFolder(homes / "other/.ssh");
    makeSymlink(homes / "other", home / "Downloads/other-link");
    dovrane::testing::ScopedEnv seam("DOVRANE_HOME_FOLDERS", "/nonexistent-homes:" + homes.path());
    const DeletionGuard judge{Url::fromPath(home.path())};
    const bool root = geteuid() == 0;
    expectVerdicts({{homes / "other", "other.home"},
                    {homes / "other/.cache/app", "other.home"},
                    {homes / "other/.ssh/authorized_keys", "other.home"},
                    {"~/Downloads/other-link/notes.txt", "other.home"},
                    {"~/Downloads/other-link", "other.home"}, // judged where it leads, as every link
                    {"~/.ssh/authorized_keys", "home.ssh"},
                    {"~/.gnupg/pubring.kbx", "home.gnupg"},
                    {"/root/.ssh/authorized_keys", root ? "home.ssh" : "other.home"},
                    {"/root/.local/share/keyrings/login.keyring", root ? "home.keyrings" : "other.home"},
                    {"/root/.gnupg", root ? "home.gnupg" : "other.home"},
                    {homes / "elsewhere.txt", "allowed"}},
                   &judge);
    EXPECT_NE(std::find(judge.everyHome.begin(), judge.everyHome.end(), homes / "other"), judge.everyHome.end());
    // The Trash's side of the administrator's move is judged by these rules alone.
    EXPECT_EQ(judge.checkHomes(Url::fromPath(homes / "other/x")).rule(), std::optional<std::string>("other.home"));
    EXPECT_EQ(judge.checkHomes(Url::fromPath(home / ".ssh/x")).rule(), std::optional<std::string>("home.ssh"));
    EXPECT_TRUE(judge.checkHomes(Url::fromPath(home / ".local/share/Trash/files/x")).isAllowed());

    // The user's own home among them is theirs, and the guard for another user judges for them.
    const auto mine = DeletionGuard::forUser(geteuid());
    ASSERT_TRUE(mine);
    EXPECT_EQ(std::find(mine->otherHomes.begin(), mine->otherHomes.end(), mine->home), mine->otherHomes.end());
    EXPECT_EQ(verdictText(*mine, homes / "other/x"), "other.home");
    EXPECT_FALSE(DeletionGuard::forUser(4'000'000'000u)) << "a user the password database does not know";
}

// The home under its other spelling ("/home/u" a link to "/var/home/u") is the same home: a path
// spelled either way is gone down from the real home.
TEST(DeletionGuardSpelling, APathInTheHomesOtherSpellingIsSpelledFromTheRealHome) {
    TempDir work;
    const std::string real = work / "var/home/u", spelled = work / "home/u";
    makeFolder(real + "/Downloads");
    makeSymlink(work / "var/home", work / "home");
    for (const std::string& given : {spelled, real}) {
        const DeletionGuard guard{Url::fromPath(given)};
        for (const std::string& base : {spelled, real})
            EXPECT_EQ(guard.inCanonicalHome(base + "/Downloads/a.iso"), real + "/Downloads/a.iso") << given << base;
        EXPECT_EQ(guard.inCanonicalHome(work / "home/../home/u/x"), work / "home/../home/u/x");
        EXPECT_EQ(guard.inCanonicalHome(work / "elsewhere/x"), work / "elsewhere/x");
    }
}
