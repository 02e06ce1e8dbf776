#pragma once
// The folders Dovrane writes besides its database: the settings folder and the caches folder.
// A start that could not write them would lose every setting and cache without a word, so it
// ends instead, like a start without its database.

#include <optional>
#include <string>

namespace dovrane::AppFolders {

// Why folder cannot hold Dovrane's files: it is not a folder, or it cannot be written, or, when
// it is missing, it cannot be created there. Nothing when it is usable. Nothing is created.
std::optional<std::string> problem(const std::string& folder);

struct FolderProblem {
    std::string name; // "settings folder", "caches folder"
    std::string path;
    std::string reason;
    // "Could not use the settings folder at PATH: REASON"
    std::string message() const;
};

// The first of the settings folder and the caches folder (the store's own) that cannot be used.
std::optional<FolderProblem> startupProblem();

} // namespace dovrane::AppFolders
