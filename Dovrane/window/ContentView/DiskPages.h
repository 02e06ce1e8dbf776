#pragma once
// Gives the main window its three pages that show the disk (Overview, Storage, Developer),
// each built with the shared category choice, the window's access hint and its "Clean Up
// Safe Items…" action, which owns Ctrl+Return.

class QAction;

namespace dovrane::DiskPages {

// cleanUpSafeItems must outlive every page built afterwards (the window's menus hold it).
void install(QAction& cleanUpSafeItems);

} // namespace dovrane::DiskPages
