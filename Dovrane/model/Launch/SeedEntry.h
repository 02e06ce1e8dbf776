#pragma once
// The launch step that shows the demo picture (SeedData) instead of this machine.

namespace dovrane {

class AppModel;

namespace SeedData {

// Fills the model when APP_SEED is exactly "1" and a test store is in use; with APP_SEED=1 and
// no test store it prints one refusal line and leaves the model alone. Called once per launch,
// on the main thread.
void insertIfRequested(AppModel& model);

} // namespace SeedData

} // namespace dovrane
