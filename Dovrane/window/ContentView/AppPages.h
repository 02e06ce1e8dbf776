#pragma once
// Gives the main window its three pages of apps and history (Apps, Updates, Cleaned Up). The
// Apps page's search field goes into the window's toolbar while the page shows.

namespace dovrane::AppPages {

void install();

} // namespace dovrane::AppPages
