#include "DovraneKit/formats/DesktopEntry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dovrane;
using namespace dovrane::testing;

TEST(DesktopEntry, OnlyTheUnlocalisedKeysOfTheEntryGroupAreRead) {
    const auto keys = DesktopEntry::keys("Name=Outside\n[Desktop Entry]\n# Name=Comment\nName = Tool \r\n"
                                         "Name[de]=Werkzeug\nExec=tool %U\nbroken line\n"
                                         "[Desktop Action New]\nExec=other\n");
    EXPECT_EQ(keys, (std::map<std::string, std::string>{{"Name", "Tool"}, {"Exec", "tool %U"}}));
}

TEST(DesktopEntry, TheProgramIsTheFirstWordQuotesAndEscapesRemoved) {
    EXPECT_EQ(DesktopEntry::program("/opt/tool --flag %U"), "/opt/tool");
    EXPECT_EQ(DesktopEntry::program("\"/home/a b/Tool.AppImage\" %F"), "/home/a b/Tool.AppImage");
    EXPECT_EQ(DesktopEntry::program("\"/x/a\\\"b\""), "/x/a\"b");
    EXPECT_EQ(DesktopEntry::program("\"/unterminated"), std::nullopt);
    EXPECT_EQ(DesktopEntry::program("   "), std::nullopt);
}

TEST(DesktopEntry, InstalledIdentifiersComeFromEveryApplicationsFolder) {
    TempDir data, shared, other;
    writeFile(data / "applications/org.example.Mine.desktop");
    writeFile(shared / "applications/org.example.Shared.desktop");
    writeFile(shared / "applications/readme.txt");
    writeFile(shared / "applications/.desktop");
    writeFile(other / "applications/org.example.Other.desktop");
    auto found = DesktopEntry::installedIdentifiers(data.path(), shared.path() + ":relative:" + other.path());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"org.example.Mine", "org.example.Other", "org.example.Shared"}));
}
