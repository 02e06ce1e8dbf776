#include "DovraneKit/apps/FlatpakApps.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/AppFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// The system installation and one more configured in installations.d ("extra"), in temporary
// folders, so the machine's own Flatpak apps never show. libflatpak reads where these are once
// per process, so they are the same for every test, each of which starts them empty.
struct SharedInstallations {
    TempDir system, config, extra;
    const std::string configured = config / "installations.d/extra.conf";
    SharedInstallations() { configure(); }
    void configure() const { writeFile(configured, "[Installation \"extra\"]\nPath=" + extra.path() + "\n"); }
};

const SharedInstallations& sharedInstallations() {
    static const SharedInstallations installations;
    return installations;
}

// A home whose user installation is empty, and empty system and extra installations.
class FlatpakAppsTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        // LeakSanitizer's check at exit walks the thread-local blocks of every loaded library;
        // with libflatpak's dependencies loaded at run time it can trip over one of them and end
        // a passing test with a fatal error of its own. The check runs now instead, once, before
        // libflatpak is loaded, and not again at exit.
        __lsan_do_leak_check();
#endif
        for (const std::string& installation : {system, extra})
            ASSERT_TRUE(Fs::removeAll(installation) && Fs::makeDirectories(installation));
        shared.configure();
    }

    TempHome home;
    const SharedInstallations& shared = sharedInstallations();
    const std::string system = shared.system.path();
    const std::string extra = shared.extra.path();
    ScopedEnv systemDir{"FLATPAK_SYSTEM_DIR", system};
    ScopedEnv configDir{"FLATPAK_CONFIG_DIR", shared.config.path()};
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

// Each of the other installations lists its apps too, also when it is the only sign of
// Flatpak: only the system installation's app folder, or only a configured installation.
TEST_F(FlatpakAppsTest, SystemAndConfiguredInstallationsAreListedToo) {
    if (!flatpakProgram())
        GTEST_SKIP() << "flatpak is not installed, so no installation can be made";
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root installs into a system installation without Flatpak's system helper";
    // Loaded with the extra installation configured, libflatpak knows it from now on.
    EXPECT_TRUE(FlatpakApps::list().empty());
    TempDir work;
    ASSERT_TRUE(installFlatpak(work / "system", "org.example.System", {}, "--system"));
    ASSERT_TRUE(Fs::removeAll(shared.configured));
    auto apps = FlatpakApps::list();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].bundleID, "org.example.System");
    EXPECT_TRUE(apps[0].path.path().starts_with(system + "/app/org.example.System/")) << apps[0].path.path();

    shared.configure();
    ASSERT_TRUE(Fs::removeAll(system + "/app"));
    ASSERT_TRUE(installFlatpak(work / "extra", "org.example.Extra", {}, "--installation=extra"));
    apps = FlatpakApps::list();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].bundleID, "org.example.Extra");
    EXPECT_TRUE(apps[0].path.path().starts_with(extra + "/app/org.example.Extra/")) << apps[0].path.path();
}
