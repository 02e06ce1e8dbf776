#pragma once
// The desktop's Trash as the freedesktop.org Trash specification lays it out: items in
// "files/", one "info/NAME.trashinfo" each.

#include "DovraneKit/Url.h"

#include <string>

namespace dovrane::FreedesktopTrash {

// The home trash of the user whose home folder this is: $XDG_DATA_HOME/Trash when home is the
// current user's home and XDG_DATA_HOME names an absolute folder, else home/.local/share/Trash.
std::string homeTrash(const Url& home);
// Its "files/" folder: "the user's Trash folder" everywhere in the library.
Url homeTrashFiles(const Url& home);

} // namespace dovrane::FreedesktopTrash
