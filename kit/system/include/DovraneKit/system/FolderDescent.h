#pragma once
// Reaching an item one folder at a time, never through a symbolic link. A path as written goes
// wherever the links among its folders lead at that moment: a folder swapped for a link between
// a check and a move would send the move elsewhere. Here each folder is opened below the one
// before it with O_NOFOLLOW, and a move is a rename relative to the last one, so what moves is
// what lies at the path as written, or nothing moves. The trasher and the administrator's move
// program (tools/move.cpp) both go this way.

#include "DovraneKit/core/Expected.h"

#include <string>
#include <system_error>

namespace dovrane {

// An open folder (O_PATH: good for looking up and renaming below it, not for reading), closed
// when the value goes.
class OpenFolder {
public:
    OpenFolder() = default;
    explicit OpenFolder(int fd) : fd_(fd) {}
    ~OpenFolder();
    OpenFolder(OpenFolder&& other) noexcept;
    OpenFolder& operator=(OpenFolder&& other) noexcept;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int fd() const { return fd_; }
    // Where the folder is now, as the kernel names it; empty when it is gone or unknown.
    std::string path() const;

private:
    int fd_ = -1;
};

namespace FolderDescent {

// An item reached without links: the folder that holds it, open, and its name there.
struct Place {
    OpenFolder folder;
    std::string name;
};

// A symbolic link stood where a folder was expected.
inline bool isLink(std::error_code error) { return error == std::errc::too_many_symbolic_link_levels; }

// The folder a path is reached from: `home` when the path lies inside it, else "/".
std::string rootFor(const std::string& path, const std::string& home);

// Opens the folder at `path`: `root` itself, as the caller vouches for it, then each name
// below it with O_NOFOLLOW. A name that is a symbolic link fails with ELOOP; a path that is
// relative, lies outside root or holds "..", with EINVAL. With `create`, missing folders are
// made (0755 less the umask), never through a link either.
Expected<OpenFolder, std::error_code> open(const std::string& root, const std::string& path, bool create = false);

// The folder that holds the item at `path`, opened as above, and the item's name there. The
// item itself is not looked at; `path` is not root itself.
Expected<Place, std::error_code> parentOf(const std::string& root, const std::string& path, bool create = false);

// Renames the item of one place to the name of the other, never replacing anything (EEXIST).
std::error_code rename(const Place& from, const Place& to);

// Both places reached from their roots as parentOf does, then rename; nothing is created.
std::error_code move(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                     const std::string& to);

} // namespace FolderDescent

} // namespace dovrane
