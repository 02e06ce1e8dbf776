#pragma once
// Developer mode APP_SNAPSHOT: with a test store, the running application captures itself view
// by view (the six pages, the four sheets, the menu bar item's panel and the three Settings
// tabs), each in the light and then the dark look, into one PNG per view with its layout file
// beside it in the folder APP_SNAPSHOT names, prints one line per image and ends. It shows
// what the model holds at launch: the demo data with APP_SEED=1, else the cached scan.
// APP_SNAPSHOT_PAGES, when set, keeps only the steps it names.

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace dovrane {

class AppModel;

namespace Snapshot {

// Last of the launch steps, on the main thread. Without APP_SNAPSHOT (or with it empty) it does
// nothing. Without a test store it prints the refusal and the application ends with status 1.
// Otherwise it starts the run and returns at once; the run goes on in the event loop and ends
// the application (status 0) after its closing line. openSettings opens the Settings window.
void runIfRequested(AppModel& model, std::function<void()> openSettings);

// The line the run is refused with when APP_SNAPSHOT asks for it and no usable test store is
// set; asked before the store is opened.
std::optional<std::string> refusal();

// The step keys of APP_SNAPSHOT_PAGES (nullptr when unset): split at ",", empty pieces dropped,
// blanks kept. Nothing means every step runs; an empty set means none does.
std::optional<std::set<std::string>> stepFilter(const char* value);

} // namespace Snapshot

} // namespace dovrane
