#pragma once
// Where the command-line tools live. The scan's tools keep their macOS paths (on Linux there is
// no executable there, so the runner returns nothing); code signing, Gatekeeper, disk images,
// archives and identities are stand-ins of ours, beside the application in the build tree and
// where the install put them (libexec/dovrane, or the folder the build was configured with).

#include <string>
#include <vector>

namespace dovrane {

struct ToolPaths {
    std::string tmutil = "/usr/bin/tmutil";
    std::string xcrun = "/usr/bin/xcrun";
    std::vector<std::string> brew = {"/opt/homebrew/bin/brew", "/usr/local/bin/brew",
                                     "/home/linuxbrew/.linuxbrew/bin/brew"};
    std::string codesign;
    std::string spctl;
    std::string hdiutil;
    std::string ditto;
    std::string tar;
    std::string security;
    // Ours alone: the administrator's move into and out of the Trash (FolderDescent::move).
    std::string mover;

    // The stand-ins in one folder ("dovrane-codesign", "dovrane-spctl", ...), the mover
    // ("dovrane-move") beside them.
    static ToolPaths inFolder(const std::string& folder);
    // Where the stand-ins of a program in executableFolder are: beside it in the build tree,
    // else where the install puts them, seen from the installed programs' folder.
    static std::string standInFolder(const std::string& executableFolder);
    // The stand-ins the update installer and the self-test run that are not executable files,
    // by path, in the order of the fields.
    std::vector<std::string> missingStandIns() const;
    // Read once: the folder named by DOVRANE_TOOL_DIR, else the running program's stand-ins.
    static const ToolPaths& current();
};

} // namespace dovrane
