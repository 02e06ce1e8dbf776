#include "DovraneKit/FreedesktopTrash.h"

#include "DovraneKit/FileSystem.h"

#include <cstdlib>

namespace dovrane::FreedesktopTrash {

std::string homeTrash(const Url& home) {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/' && home.path() == Url::fromPath(Fs::homeDirectory()).path())
        return Path::join(dataHome, "Trash");
    return Path::join(home.path(), ".local/share/Trash");
}

Url homeTrashFiles(const Url& home) { return Url::fromPath(Path::join(homeTrash(home), "files")); }

} // namespace dovrane::FreedesktopTrash
