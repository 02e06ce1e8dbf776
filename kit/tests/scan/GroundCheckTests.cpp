#include "DovraneKit/scan/GroundCheck.h"

#include "DovraneKit/system/FileSystem.h"
#include "support/ScannerFixture.h"
#include "support/TestSupport.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

using Change = GroundCheck::Change;

// Each item's change by its name.
std::map<std::string, Change> checked(const GroundCheck& check, const std::vector<CleanupItem>& items) {
    const std::vector<Change> changes = check.check(items);
    std::map<std::string, Change> byName;
    for (std::size_t index = 0; index < items.size(); ++index)
        byName[items[index].name] = changes[index];
    return byName;
}

} // namespace

// The scan notes what each rating stands on; when a move is planned hours later, a project
// edited since, an installer downloaded again or rewritten in place, an item gone or another
// user's now are each found out, and what is unchanged still stands. A scan file written before
// grounds were kept is checked on its ages alone.
TEST(GroundCheck, WhatChangedAfterTheScanIsFoundAndTheRestStands) {
    ScannerFixture f;
    f.now = Date::now();
    f.settings.projectFolders = {f / "Code"};
    for (const std::string project : {"Code/edited", "Code/quiet"}) {
        writeFile(f / (project + "/package.json"), "{}");
        writeFileOfSize(f / (project + "/node_modules/pad/index.js"), 5000);
        setTimesRecursively(f / project, daysAgo(60));
    }
    for (const std::string installer : {"kept.deb", "replaced.deb", "rewritten.deb", "gone.deb", "theirs.deb"}) {
        writeFileOfSize(f / ("Downloads/" + installer), 5000);
        setTimes(f / ("Downloads/" + installer), daysAgo(30));
    }
    const DiskScanner scanner = f.scanner();
    std::vector<CleanupItem> items = scanner.collect(CategoryID::projects).items;
    for (CleanupItem& item : scanner.collect(CategoryID::installers).items)
        items.push_back(std::move(item));
    ASSERT_EQ(items.size(), 7u);
    const GroundCheck check{f.settings.projectAgeDays, f.settings.installerAgeDays, f.now};
    for (const CleanupItem& item : items) {
        ASSERT_TRUE(item.ground) << item.name;
        EXPECT_EQ(item.safety, Safety::safe) << item.name;
    }
    for (const auto& [name, change] : checked(check, items))
        EXPECT_EQ(change, Change::none) << name;

    writeFile(f / "Code/edited/src/app.js", "changed today");
    Fs::removeAll(f / "Downloads/replaced.deb");
    writeFileOfSize(f / "Downloads/replaced.deb", 5000);
    setTimes(f / "Downloads/replaced.deb", daysAgo(30)); // an old date, yet another file
    writeFile(f / "Downloads/rewritten.deb", "a new download in the same file");
    Fs::removeAll(f / "Downloads/gone.deb");
    const bool root = geteuid() == 0;
    if (root)
        chownRecursively(f / "Downloads/theirs.deb", 4242, 4242);
    std::map<std::string, Change> expected = {
        {"edited/node_modules", Change::project},
        {"quiet/node_modules", Change::none},
        {"kept.deb", Change::none},
        {"replaced.deb", Change::replaced},
        {"rewritten.deb", Change::installer},
        {"gone.deb", Change::gone},
        {"theirs.deb", root ? Change::owner : Change::none},
    };
    EXPECT_EQ(checked(check, items), expected);

    // Without grounds only the ages tell; what is not to be moved is not looked at.
    for (CleanupItem& item : items) {
        item.ground.reset();
        if (item.name == "kept.deb")
            item.action = CleanupAction::showOnly;
    }
    setTimes(f / "Downloads/kept.deb", Date::now());
    expected["replaced.deb"] = expected["gone.deb"] = expected["theirs.deb"] = Change::none;
    expected["gone.deb"] = Change::installer; // no date: not an old installer
    EXPECT_EQ(checked(check, items), expected);
}
