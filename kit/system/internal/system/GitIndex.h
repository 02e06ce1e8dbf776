#pragma once
// What git tracks in a work tree, read from the repository's index by libgit2, the library made
// for it; nothing here reads git's files itself. libgit2 is opened the first time a repository
// is looked at: most runs of the program never meet one. It runs no program and no hook a
// repository's configuration names, so a project folder from anywhere is safe to look at. Not
// part of the public API.

#include <cstdint>
#include <memory>
#include <string>

namespace dovrane {

class GitIndex {
public:
    enum class State {
        outside,    // no git work tree holds the folder: git tracks nothing in it
        read,       // the repository's index was read
        noLibrary,  // libgit2 could not be opened
        unreadable, // the repository or its index could not be read, or the index is too large
    };

    // An index file larger than this is not read (about half a million tracked files), so that
    // looking at one project costs a bounded time and memory, as dating it does.
    static constexpr std::int64_t largestIndex = std::int64_t(64) << 20;

    // libgit2 as the build knew it: "libgit2.so." and its version.
    static std::string defaultLibrary();

    // The index of the repository whose work tree holds `folder`, looked for from there upward
    // without leaving the folder's file system, as git does. `library` names the libgit2 to open.
    static GitIndex of(const std::string& folder, const std::string& library = defaultLibrary());

    State state() const { return state_; }
    // Whether git tracks `path` (absolute; links resolved) or anything below it: false unless the
    // index was read and the path lies in its work tree.
    bool tracks(const std::string& path) const;

private:
    struct Opened;

    State state_ = State::outside;
    std::shared_ptr<const Opened> opened_;
};

} // namespace dovrane
