#include "DovraneKit/system/HomeLayout.h"

#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const char* const personalFolders[] = {"Documents", "Desktop", "Downloads", "Pictures", "Music", "Movies"};

// The environment of a home whose XDG folders are all the defaults below it.
HomeLayout::Environment defaults() { return {}; }

void writeUserDirs(const TempHome& home, std::string_view text) { writeFile(home / ".config/user-dirs.dirs", text); }

std::string folder(const HomeLayout& layout, std::string_view relative) { return layout.folder(relative).path(); }

} // namespace

TEST(HomeLayout, UserDirsLinesKeepToTheFormatOrAreAbsent) {
    const std::string text = "# written by xdg-user-dirs-update\n"
                             "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                             "  XDG_PICTURES_DIR=\"/data/Bilder\"\t \n"
                             "XDG_MUSIC_DIR=\"$HOME/Say \\\"hi\\\" \\\\ \\$5\"\n"
                             "XDG_DESKTOP_DIR=\"$HOME\"\n"
                             "XDG_VIDEOS_DIR=\"$HOME/Old\"\n"
                             "XDG_VIDEOS_DIR=\"$HOME/New\"\n"
                             "XDG_VIDEOS_DIR=\"$HOME/$(rm -rf ~)\"\n" // a broken later line keeps the earlier one
                             "XDG_A_DIR=\"$HOME/`id`\"\n"
                             "XDG_B_DIR=\"${HOME}/b\"\n"
                             "XDG_C_DIR=\"$HOMEWORK/c\"\n"
                             "XDG_D_DIR=\"$HOME/d/$USER\"\n"
                             "XDG_E_DIR=\"$HOME/unterminated\n"
                             "XDG_F_DIR=\"relative/f\"\n"
                             "XDG_G_DIR=\"\"\n"
                             "XDG_H_DIR=\"$HOME/h\\n\"\n"
                             "XDG_I_DIR=\"$HOME/i\" # trailing comment\n"
                             "XDG_J_DIR = \"$HOME/j\"\n"
                             "XDG_K_DIR=$HOME/k\n"
                             "XDG_L_DIR=\"$HOME/l\"\r\n"
                             "XDG_M_DIR=\"$HOME/m\x01\"\n"
                             "1XDG_N_DIR=\"$HOME/n\"\n"
                             "XDG_O_DIR=\"/o\"; rm -rf ~\n"
                             "XDG_P_DIR=\"/p\\\"\n"
                             "XDG_TEMPLATES_DIR=\"/\"";
    EXPECT_EQ(HomeLayout::parseUserDirs(text, "/h"),
              (std::map<std::string, std::string>{{"XDG_DOCUMENTS_DIR", "/h/Dokumente"},
                                                  {"XDG_PICTURES_DIR", "/data/Bilder"},
                                                  {"XDG_MUSIC_DIR", "/h/Say \"hi\" \\ $5"},
                                                  {"XDG_DESKTOP_DIR", "/h"},
                                                  {"XDG_VIDEOS_DIR", "/h/New"},
                                                  {"XDG_TEMPLATES_DIR", "/"}}));
    EXPECT_TRUE(HomeLayout::parseUserDirs("", "/h").empty());
    EXPECT_TRUE(HomeLayout::parseUserDirs(std::string("XDG_X_DIR=\"/a\0b\"", 16), "/h").empty());
}

TEST(HomeLayout, HostileUserDirsGiveThePartsFolderOrNothingNeverAProtectedOrOutsidePath) {
    TempHome home;
    TempDir outside;
    for (const char* made : {"Videos", ".ssh/keys", "Musik-data", "rm -rf ~", "Library/Preferences"})
        makeFolder(home / made);
    makeSymlink(home / ".ssh", home / "Bilder");
    makeSymlink(outside.path(), home / "Fotos");
    makeSymlink(home / "Musik-data", home / "Musik");
    makeSymlink(home.path(), home / "Zuhause");
    writeUserDirs(home, "XDG_DOCUMENTS_DIR=\"$HOME/../..\"\n"
                        "XDG_DESKTOP_DIR=\"/\"\n"
                        "XDG_DOWNLOAD_DIR=\"$HOME\"\n"
                        "XDG_DOWNLOAD_DIR=\"$HOME/$(rm -rf ~)\"\n"
                        "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                        "XDG_VIDEOS_DIR=\"$HOME/.ssh/keys\n"
                        "XDG_MUSIC_DIR=\"$HOME/.ssh/keys\"\n");
    const HomeLayout hostile(Url::fromPath(home.path()), defaults());
    for (const char* relative : {"Documents", "Desktop", "Downloads", "Pictures", "Music"})
        EXPECT_EQ(folder(hostile, relative), home / relative) << relative;
    EXPECT_EQ(folder(hostile, "Movies"), home / "Videos") << "a broken line is as if it were missing";

    // Links are judged where they lead: into the keys, out of the home or back to it is no
    // folder; a link to a plain folder below the home is read there.
    writeUserDirs(home, "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n"
                        "XDG_MUSIC_DIR=\"$HOME/Musik\"\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/Zuhause\"\n"
                        "XDG_DESKTOP_DIR=\"$HOME/Library/Preferences\"\n"
                        "XDG_DOWNLOAD_DIR=\"" +
                            outside.path() + "\"\n");
    const HomeLayout linked(Url::fromPath(home.path()), defaults());
    EXPECT_EQ(folder(linked, "Pictures"), home / "Pictures");
    EXPECT_EQ(folder(linked, "Music"), home / "Musik-data");
    EXPECT_EQ(folder(linked, "Documents"), home / "Documents");
    EXPECT_EQ(folder(linked, "Desktop"), home / "Desktop");
    EXPECT_EQ(folder(linked, "Downloads"), home / "Downloads");

    const DeletionGuard fixed = DeletionGuard::fixedTable(Url::fromPath(home.path()));
    const std::string realHome = DeletionGuard::canonical(home.path());
    for (const HomeLayout* layout : {&hostile, &linked})
        for (const char* relative : personalFolders) {
            const std::string real = DeletionGuard::canonical(folder(*layout, relative));
            EXPECT_TRUE(real.starts_with(realHome + "/")) << relative << ": " << real;
            EXPECT_TRUE(fixed.check(Url::fromPath(real)).isAllowed() ||
                        real == DeletionGuard::canonical(home / relative))
                << relative << ": " << real;
        }
}

TEST(HomeLayout, OnePlaceIsReadAsOnePersonalFolderOnly) {
    TempHome home;
    for (const char* made : {"Movies", "Videos", "Medien"})
        makeFolder(home / made);
    writeUserDirs(home, "XDG_MUSIC_DIR=\"$HOME/Medien\"\n"
                        "XDG_PICTURES_DIR=\"$HOME/Medien\"\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/Movies\"\n"
                        "XDG_DESKTOP_DIR=\"$HOME/Videos\"\n");
    const HomeLayout layout(Url::fromPath(home.path()), defaults());
    std::set<std::string> read;
    for (const char* relative : personalFolders) {
        if (Fs::exists(folder(layout, relative))) {
            EXPECT_TRUE(read.insert(DeletionGuard::canonical(folder(layout, relative))).second) << relative;
        }
    }
    EXPECT_EQ(read, (std::set<std::string>{home / "Movies", home / "Videos", home / "Medien"}));
    EXPECT_EQ(folder(layout, "Movies"), home / "Movies") << "an existing macOS folder is never given away";
}

TEST(HomeLayout, TheMacOSFolderWinsThenTheLinuxOneThenTheMacOSOneAgain) {
    TempHome home;
    const Url url = Url::fromPath(home.path());
    const HomeLayout empty(url, defaults());
    for (const char* relative : {"Library/Caches", "Library/Caches/pip", "Library/pnpm/store", "Movies", "Documents",
                                 "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", "Library/Logs"})
        EXPECT_EQ(folder(empty, relative), home / relative) << relative;

    for (const char* made : {".cache/pip", ".cache/yarn", ".cache/Homebrew", ".local/share/pnpm/store", "Videos",
                             "Dokumente", "Library/Caches/Yarn", "Movies", ".docker/desktop/vms/0/data"})
        makeFolder(home / made);
    writeFile(home / ".docker/desktop/vms/0/data/Docker.raw");
    writeUserDirs(home, "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    const HomeLayout both(url, defaults());
    EXPECT_EQ(folder(both, "Library/Caches"), home / "Library/Caches");
    EXPECT_EQ(folder(both, "Library/Caches/Yarn"), home / "Library/Caches/Yarn");
    EXPECT_EQ(folder(both, "Library/Caches/pip"), home / ".cache/pip") << "each folder on its own";
    EXPECT_EQ(folder(both, "Library/Caches/Homebrew"), home / ".cache/Homebrew");
    EXPECT_EQ(folder(both, "Library/pnpm/store"), home / ".local/share/pnpm/store");
    EXPECT_EQ(folder(both, "Movies"), home / "Movies");
    EXPECT_EQ(folder(both, "Documents"), home / "Dokumente");
    EXPECT_EQ(folder(both, "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw"),
              home / ".docker/desktop/vms/0/data/Docker.raw");
    EXPECT_EQ(folder(both, "Library/Logs"), home / "Library/Logs");
}

// The folder user-dirs.dirs names is that folder, even beside a stray one of the macOS name; a
// line naming a folder that does not exist, or another folder's macOS one, changes nothing.
TEST(HomeLayout, AFolderUserDirsNamesIsReadBeforeAStrayOneOfTheMacOSName) {
    TempHome home;
    for (const char* made : {"Downloads", "Téléchargements", "Pictures", "Images", "Movies", "Music"})
        makeFolder(home / made);
    writeUserDirs(home, "XDG_DOWNLOAD_DIR=\"$HOME/Téléchargements\"\n"
                        "XDG_PICTURES_DIR=\"$HOME/Images\"\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/Gone\"\n"
                        "XDG_MUSIC_DIR=\"$HOME/Movies\"\n"
                        "XDG_VIDEOS_DIR=\"$HOME/Movies\"\n");
    const HomeLayout layout(Url::fromPath(home.path()), defaults());
    EXPECT_EQ(folder(layout, "Downloads"), home / "Téléchargements");
    EXPECT_EQ(layout.spelledFolder("Downloads").path(), home / "Téléchargements");
    EXPECT_EQ(folder(layout, "Pictures"), home / "Images");
    EXPECT_EQ(folder(layout, "Documents"), home / "Documents");
    EXPECT_EQ(folder(layout, "Music"), home / "Music") << "~/Movies is the movies folder";
    EXPECT_EQ(folder(layout, "Movies"), home / "Movies");

    // Guarded as the folders they are, and the stray ones as the macOS folders they still are.
    const DeletionGuard guard(layout);
    for (const char* kept : {"Téléchargements", "Images", "Downloads", "Pictures"})
        EXPECT_EQ(guard.check(Url::fromPath(home / kept)).rule().value_or("allowed"), "home.folders") << kept;
    EXPECT_TRUE(guard.check(Url::fromPath(home / "Téléchargements/setup.deb")).isAllowed());
}

TEST(HomeLayout, XdgVariablesCountWhenAbsoluteAndHarmless) {
    TempHome home;
    TempDir elsewhere;
    const Url url = Url::fromPath(home.path());
    for (const char* made : {".cache", ".ssh", "cfg", "Sachen"})
        makeFolder(home / made);
    makeFolder(elsewhere / "cache");
    makeFolder(elsewhere / "data/pnpm/store");
    writeFile(home / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Sachen\"\n");

    const HomeLayout moved(url, {elsewhere / "cache", home / "cfg", elsewhere / "data"});
    EXPECT_EQ(folder(moved, "Library/Caches"), elsewhere / "cache");
    EXPECT_EQ(folder(moved, "Library/pnpm/store"), elsewhere / "data/pnpm/store");
    EXPECT_EQ(folder(moved, "Documents"), home / "Sachen");
    EXPECT_EQ(folder(HomeLayout(url, defaults()), "Documents"), home / "Documents") << "no user-dirs.dirs in ~/.config";

    for (const std::string& value : {std::string("cache"), home.path(), home.path() + "/", std::string("/"),
                                     home / ".ssh", home / "../..", Path::parent(home.path())})
        EXPECT_EQ(folder(HomeLayout(url, {value, std::nullopt, std::nullopt}), "Library/Caches"), home / ".cache")
            << value;
}

// ---- The guard follows the layout ---------------------------------------------------------

TEST(HomeLayout, TheGuardKeepsTheResolvedFoldersButNotTheirContents) {
    TempHome home;
    for (const char* made : {".cache/app", "Dokumente/Briefe", "Bilder", "Schreibtisch", "Downloads", "Videos/Urlaub"})
        makeFolder(home / made);
    makeSymlink(home / "Dokumente", home / "Docs-Link");
    writeUserDirs(home, "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_VIDEOS_DIR=\"$HOME/Videos\"\n");
    // The layout of the process's environment, as the Trasher's guard gets it: TempHome points
    // XDG_CONFIG_HOME and XDG_CACHE_HOME into the home.
    for (const DeletionGuard& guard :
         {DeletionGuard(HomeLayout(Url::fromPath(home.path()))), DeletionGuard(Url::fromPath(home.path()))}) {
        auto verdict = [&](const std::string& relative) {
            auto checked = guard.check(Url::fromPath(home / relative));
            return checked.isAllowed() ? std::string("allowed") : *checked.rule();
        };
        for (const char* kept : {".cache", "Dokumente", "Docs-Link", "Bilder", "Schreibtisch", "Downloads"})
            EXPECT_EQ(verdict(kept), "home.folders") << kept;
        for (const char* free : {".cache/app", "Dokumente/Briefe", "Docs-Link/Briefe", "Videos", "Videos/Urlaub"})
            EXPECT_EQ(verdict(free), "allowed") << free;
    }

    // A line naming the home folder switches a folder off, one naming the keys is no folder:
    // neither adds a rule.
    writeUserDirs(home, "XDG_DOCUMENTS_DIR=\"$HOME/\"\nXDG_PICTURES_DIR=\"$HOME/.ssh\"\n");
    const DeletionGuard off(Url::fromPath(home.path()));
    EXPECT_EQ(*off.check(Url::fromPath(home / ".ssh")).rule(), "home.ssh");
    EXPECT_TRUE(off.check(Url::fromPath(home / "Dokumente")).isAllowed());
}
