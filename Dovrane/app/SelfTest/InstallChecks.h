#pragma once
// The self-test's update-install checks: three small signed test apps, two signed archives,
// and the real update installer refusing a wrong signature and another developer and
// installing a good update. Used by the self-test only.

#include <QFuture>

#include <string>
#include <vector>

namespace dovrane::SelfTest {

// One line of the checks' outcome, printed and counted by the self-test on the main thread.
struct CheckReport {
    std::string name; // empty: the checks were skipped (no signing identity)
    bool passed = false;
    std::string detail;
};

// The first quoted identity beginning with "Apple Development: " in an identity listing.
std::string developmentIdentity(const std::string& listing);

// Runs the checks under root/updates on a worker thread; the future holds what they found,
// in order. Tools come from ToolPaths::current(): one that is missing is a single failed check
// naming it. No administrator prompt can appear.
QFuture<std::vector<CheckReport>> updateChecks(const std::string& root);

} // namespace dovrane::SelfTest
