#pragma once
// What git tracks in a work tree: the names in the repository's index. Finding the repository
// and reading its index is done here, for a ".git" folder in the work tree whose configuration
// says nothing more than how names compare (gitfiles). Any other repository (a linked work tree,
// a submodule, a configuration that names another work tree or includes another file) is found
// by libgit2, the library made for it, opened the first time one is met: most runs of the
// program never meet one. libgit2 runs no program and no hook a repository's configuration
// names, so a project folder from anywhere is safe to look at. But it opens a repository's files
// by path and waits on what it finds, and a named pipe where one of them belongs would hold it
// for ever. So:
//   - the files git opens are looked at first, without opening them: a repository with a pipe,
//     a socket or a device among them is not read, here or by libgit2;
//   - libgit2 runs only in a child process, ended when an answer takes longer than a bound, so
//     that a file swapped in after the look, or one the look cannot know of (an included file),
//     costs that bound and nothing is left waiting;
//   - the index is opened once, here, and read only when it is a regular file.
// Not part of the public API.

#include <chrono>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace dovrane {

class GitIndex {
public:
    enum class State {
        outside,    // no git work tree holds the folder: git tracks nothing in it
        read,       // the repository's index was read
        noLibrary,  // libgit2 could not be opened
        unreadable, // the repository or its index could not be read (too large, a pipe or the
                    // like among its files, an answer past the bound)
    };

    struct Answer {
        State state = State::outside;
        // Per path asked, when read: whether git tracks it or anything below it.
        std::vector<bool> tracked;
    };

    // An index file larger than this is not read (about half a million tracked files), so that
    // looking at one project costs a bounded time and memory, as dating it does.
    static constexpr std::int64_t largestIndex = std::int64_t(64) << 20;
    // The other files git reads whole (a configuration, a ".git" file naming the repository):
    // one larger than this is no repository's.
    static constexpr std::int64_t largestFile = std::int64_t(1) << 20;

    // libgit2 as the build knew it: "libgit2.so." and its version.
    static std::string defaultLibrary();

    // Questions asked while a walk goes on: answered at once where this code reads the
    // repository, else beside the walk by one child process, started with the first question
    // that needs libgit2. `library` names the libgit2 to open; `bound` is how long libgit2 may
    // take over one repository. Ending it ends the child.
    GitIndex(std::string library, std::chrono::milliseconds bound);
    ~GitIndex();
    GitIndex(const GitIndex&) = delete;
    GitIndex& operator=(const GitIndex&) = delete;

    // Asks, of the repository whose work tree holds `folder` (looked for from there upward
    // without leaving the folder's file system, as git does), whether it tracks each of the
    // folder's entries `names` (no links: the caller looked) or anything below it. Any thread;
    // the question's number comes back.
    std::size_t ask(const std::string& folder, const std::vector<std::string>& names);
    // The answers in the order asked, once all have come. A stop request answers those still
    // open as unreadable. Nothing may be asked afterwards.
    std::vector<Answer> answers(std::stop_token stop = {});

    // One question, answered.
    static Answer of(const std::string& folder, const std::vector<std::string>& names, const std::string& library,
                     std::chrono::milliseconds bound);

private:
    struct Shared;
    std::unique_ptr<Shared> shared_;
};

} // namespace dovrane
