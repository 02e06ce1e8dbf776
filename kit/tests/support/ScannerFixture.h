#pragma once
// A scanner of a temporary home at a fixed time, whose tools answer through a FakeRunner.
// Tests change the settings, application folders or time before they ask for the scanner.

#include "DovraneKit/scan/DiskScanner.h"
#include "support/FakeRunner.h"
#include "support/TestSupport.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::testing {

struct ScannerFixture {
    TempHome home;
    std::shared_ptr<FakeRunner> runner = std::make_shared<FakeRunner>();
    ScanSettings settings;
    std::vector<Url> applicationFolders;
    Date now = Date::fromUnix(1'700'000'000);

    DiskScanner scanner() const {
        return DiskScanner(Url::fromPath(home.path()), applicationFolders, settings, runner, DiskScanner::noNames(), {},
                           now);
    }
    std::string operator/(std::string_view relative) const { return home / relative; }
};

} // namespace dovrane::testing
