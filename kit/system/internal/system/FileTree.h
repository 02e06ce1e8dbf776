#pragma once
// Walking a folder tree without following symbolic links, and deciding whether a link stays
// inside a tree. Shared by code signing, archives and disk images; not part of the public API.

#include "DovraneKit/core/Expected.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

namespace dovrane::filetree {

struct Entry {
    std::string relative; // below the root, "/"-separated, never empty
    struct stat info;     // lstat of the entry
};

// Every entry below root (root itself left out), parents before their children, children in
// byte order of their names. A folder that cannot be read is a failure, never an empty folder.
[[nodiscard]] Expected<std::vector<Entry>> walk(const std::string& root);

// Whether the link at relativeLink below root, holding target, resolves to a place inside
// root. Links met on the way are followed as the system would; an absolute target, a ".." above
// root or a chain of more than 40 links counts as leaving.
bool linkStaysInside(const std::string& root, const std::string& relativeLink, const std::string& target);

// Names in a folder in byte order, or nothing when it cannot be read.
std::optional<std::vector<std::string>> names(const std::string& folder);

// Opens for reading the regular file that lstat saw as `expected`. Never follows a link and
// never blocks on a named pipe or device put in its place; -1 (errno set) when the path now
// holds anything but that very file.
int openRegularFile(const std::string& path, const struct stat& expected);

// Whether the folder holds no entries (and can be read).
bool isEmptyFolder(const std::string& path);

// Removes everything inside a folder, keeping the folder. True when it is empty afterwards.
bool removeContents(const std::string& folder);

} // namespace dovrane::filetree
