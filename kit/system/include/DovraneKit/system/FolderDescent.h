#pragma once
// Reaching an item one folder at a time, never through a symbolic link. A path as written goes
// wherever the links among its folders lead at that moment: a folder swapped for a link between
// a check and a move would send the move elsewhere. Here each folder is opened below the one
// before it with O_NOFOLLOW, and a move is a rename relative to the last one, so what moves is
// what lies at the path as written, or nothing moves. The trasher and the administrator's move
// program (tools/move.cpp) both go this way.

#include "DovraneKit/core/Expected.h"

#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

struct statx;

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

// What an item is, wherever it is: the item and the folder that holds it as the file system
// knows them. Another item put at its path, or its folder swapped for another folder, has another
// identity.
struct Identity {
    // One file: its device and inode, and when that inode was made (nanoseconds since 1970; 0
    // where the file system keeps no birth time), so that an inode number given again to a new
    // file is not taken for the old one. Inode 0: nothing was there.
    struct File {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t born = 0;

        // The file statx describes, asked for STATX_INO and STATX_BTIME.
        static File of(const struct statx& status);
        // "DEVICE:INODE:BORN" in decimal: the mover's arguments.
        std::string text() const;
        static std::optional<File> fromText(const std::string& text);

        bool operator==(const File&) const = default;
    };

    File item;
    File folder;

    // From the two texts; nothing when either is not three decimal numbers.
    static std::optional<Identity> fromText(const std::string& item, const std::string& folder);

    bool operator==(const Identity&) const = default;
};

// A symbolic link stood where a folder was expected.
inline bool isLink(std::error_code error) { return error == std::errc::too_many_symbolic_link_levels; }
// Something else stands at the item's place than the item whose identity was given (ESTALE).
inline bool isChanged(std::error_code error) { return error == std::error_condition(ESTALE, std::generic_category()); }

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

// The identity of the item at a place, looked at in the open folder without following a link;
// an item that is not there has inode 0. An error when the folder cannot be looked at.
Expected<Identity, std::error_code> identify(const Place& place);

// The identity of the file open at `fd`; nothing when it cannot be looked at.
std::optional<Identity::File> identifyOpen(int fd);

// The identity as the path leads now, links and all; nothing when it cannot be looked at. What
// is taken when an item is shown, to be checked at the place the move reaches later.
std::optional<Identity> identify(const std::string& path);

// Nothing when the item at the place is the one of this identity; else ENOENT when nothing is
// there, ESTALE when another item is, or why the folder could not be looked into.
std::error_code verify(const Place& place, const Identity& expected);

// Renames the item of one place to the name of the other, never replacing anything (EEXIST).
// With an expected identity, the item at `from` is verified just before, and nothing moves when
// it is another one or none.
std::error_code rename(const Place& from, const Place& to, const std::optional<Identity>& expected = std::nullopt);

// Puts the item named `staged` in the place's folder in the place of the item there, in one step
// (the two names exchanged, so the place is never empty), calls `swapped`, and then renames the
// item that was there, now under the staged name, to `to`, never replacing anything. When that
// rename fails, the two names are exchanged back and the error is the rename's. With an expected
// identity, nothing is exchanged unless that item is at the place, and only it is renamed. A file
// system that cannot exchange two names fails with EINVAL before anything changed.
std::error_code swapOut(const Place& place, const std::string& staged, const Place& to,
                        const std::optional<Identity>& expected, const std::function<void()>& swapped = {});

// Both places reached from their roots as parentOf does, then rename; nothing is created.
std::error_code move(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                     const std::string& to, const std::optional<Identity>& expected = std::nullopt);

// The mover's exit status for the error of its move, and the error back from a status, so that
// why a move run as the administrator failed comes back through pkexec and the shell. 0 is
// success, 2 the mover's usage error (EINVAL); each error the trasher words has a status of its
// own; any other error is 1, which names none.
int exitStatusFor(std::error_code error);
// The mover's exit status when the deletion guard, judging for the user who asked, refused one
// side of the move: nothing moved, and the trasher reports the item as blocked.
constexpr int refusedExitStatus = 64;
std::optional<std::error_code> errorForExitStatus(int status);

} // namespace FolderDescent

} // namespace dovrane
