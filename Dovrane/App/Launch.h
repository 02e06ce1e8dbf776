#pragma once
// The launch steps, in their order: the demo data, the page and Settings tab asked for by the
// environment, then the normal start-up work unless the demo, the self-test or the screenshot
// run is in charge. The main window's launch task runs them when it first shows.

#include <string>
#include <vector>

namespace dovrane {

class AppModel;

namespace Launch {

// arguments: the process's launch arguments. The demo data go in at most once per process,
// so a second run leaves what the user did since alone.
void run(AppModel& model, const std::vector<std::string>& arguments);

} // namespace Launch

} // namespace dovrane
