#include "DovraneKit/FlatpakApps.h"
#include "support/AppFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// A home whose user installation is empty and whose system installation is a temporary
// folder, so the machine's own Flatpak apps never show.
class FlatpakAppsTest : public ::testing::Test {
protected:
    TempHome home;
    TempDir system, config;
    ScopedEnv systemDir{"FLATPAK_SYSTEM_DIR", system.path()};
    ScopedEnv configDir{"FLATPAK_CONFIG_DIR", config.path()};
    ScopedEnv userDir{"FLATPAK_USER_DIR", std::nullopt};
};

} // namespace

TEST_F(FlatpakAppsTest, NoInstallationMeansNoAppsAndNoFailure) { EXPECT_TRUE(FlatpakApps::list().empty()); }

TEST_F(FlatpakAppsTest, UserAppsAreSystemAppsWithTheirAppStreamNameVersionAndSize) {
    if (!flatpakProgram())
        GTEST_SKIP() << "flatpak is not installed, so no installation can be made";
    TempDir work;
    const std::string metainfo = R"(<component><id>org.example.Flat</id><name>Flat Tool</name>
        <name xml:lang="de">Flaches Werkzeug</name><releases><release version="3.1"/></releases></component>)";
    ASSERT_TRUE(installFlatpak(work / "flat", "org.example.Flat",
                               {{"share/metainfo/org.example.Flat.metainfo.xml", metainfo}}));
    ASSERT_TRUE(installFlatpak(work / "bare", "org.example.Bare", {}));

    const auto apps = FlatpakApps::list();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, "Bare");
    EXPECT_EQ(apps[0].version, "?");
    const InstalledApp& flat = apps[1];
    EXPECT_EQ(flat.bundleID, "org.example.Flat");
    EXPECT_EQ(flat.name, "Flat Tool");
    EXPECT_EQ(flat.version, "3.1");
    EXPECT_GT(flat.size, 0);
    EXPECT_TRUE(flat.isSystem);
    EXPECT_TRUE(flat.path.path().starts_with(home / ".local/share/flatpak/app/org.example.Flat/"));
    EXPECT_TRUE(FlatpakApps::isFlatpak(flat));

    InstalledApp elsewhere = flat;
    elsewhere.path = Url::fromPath("/Applications/Flat.app");
    EXPECT_FALSE(FlatpakApps::isFlatpak(elsewhere));
}
