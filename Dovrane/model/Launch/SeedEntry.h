#pragma once
// The launch step that shows the demo picture (SeedData) instead of this machine.

#include <optional>
#include <string>

namespace dovrane {

class AppModel;

namespace SeedData {

// Fills the model when APP_SEED is exactly "1" and a test store is in use; with APP_SEED=1 and
// no test store it prints one refusal line and leaves the model alone. Called once per launch,
// on the main thread.
void insertIfRequested(AppModel& model);
// APP_SEED is exactly "1", whether or not a test store lets the demo data in.
bool isRequested();
// The refusal line insertIfRequested would print, for a start that ends before the model exists.
std::optional<std::string> refusal();

} // namespace SeedData

} // namespace dovrane
