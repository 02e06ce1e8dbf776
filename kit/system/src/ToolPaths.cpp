#include "DovraneKit/system/ToolPaths.h"

#include "DovraneKit/system/FileSystem.h"

#include <cstdlib>

namespace dovrane {

ToolPaths ToolPaths::inFolder(const std::string& folder) {
    ToolPaths paths;
    paths.codesign = Path::join(folder, "dovrane-codesign");
    paths.spctl = Path::join(folder, "dovrane-spctl");
    paths.hdiutil = Path::join(folder, "dovrane-hdiutil");
    paths.ditto = Path::join(folder, "dovrane-ditto");
    paths.tar = Path::join(folder, "dovrane-tar");
    paths.security = Path::join(folder, "dovrane-security");
    paths.mover = Path::join(folder, "dovrane-move");
    return paths;
}

std::string ToolPaths::standInFolder(const std::string& executableFolder) {
    if (Fs::isExecutableFile(Path::join(executableFolder, "dovrane-codesign")))
        return executableFolder;
    return Path::resolve(executableFolder, DOVRANE_TOOL_FOLDER);
}

std::vector<std::string> ToolPaths::missingStandIns() const {
    std::vector<std::string> missing;
    for (const std::string* tool : {&codesign, &spctl, &hdiutil, &ditto, &tar, &security})
        if (!Fs::isExecutableFile(*tool))
            missing.push_back(*tool);
    return missing;
}

const ToolPaths& ToolPaths::current() {
    static const ToolPaths paths = [] {
        const char* folder = std::getenv("DOVRANE_TOOL_DIR");
        return inFolder(folder && *folder ? std::string(folder) : standInFolder(Fs::executableDirectory()));
    }();
    return paths;
}

} // namespace dovrane
