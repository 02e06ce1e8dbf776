#pragma once
// Finds the build and dependency folders of developer projects nobody has touched for a while.
// A folder counts only beside a marker file of its tool, and a project's age is the time since
// its newest change outside its build, dependency and version-control folders. A project whose
// files could not all be looked at has no known age: its folders are listed for review only. So
// is a folder holding a file git tracks, which no build brings back, or one where what git
// tracks could not be found out.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/scan/ScanModel.h"

#include <chrono>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace dovrane {

struct ProjectFinder {
    struct Artifact {
        std::string folder;               // the build or dependency folder
        std::vector<std::string> markers; // at least one of these stands beside it
        std::string tool;                 // the command that brings the folder back; empty: the next build

        bool operator==(const Artifact&) const = default;
    };

    // In the order they are tried in one folder.
    static const std::vector<Artifact> artifacts;
    // Never descended into, neither by the walk nor when dating a project.
    static const std::set<std::string> skipped;
    // Folders with these extensions are never entered.
    static const std::set<std::string> bundleExtensions;
    // Dating a project looks at no more entries than this.
    static constexpr int datingLimit = 20000;

    // What dating a project saw: the newest change, and whether anything was left unseen.
    struct Dating {
        enum class Gap {
            none,       // every entry below was looked at
            tooMany,    // the look stopped at datingLimit entries
            unreadable, // a folder below could not be read
        };
        std::optional<Date> newest; // absent when nothing could be dated
        Gap gap = Gap::none;

        bool operator==(const Dating&) const = default;
    };

    // What git tracks in an artifact folder.
    enum class Tracking {
        untracked,  // nothing in it, or no repository holds it
        tracked,    // a file in it: moving the folder takes that file out of the project
        noLibrary,  // unknown: libgit2, which reads repositories, could not be opened
        unreadable, // unknown: the project's repository could not be read
    };

    // How long libgit2 may take over one project's repository where it finds what git tracks (a
    // repository that is more than a plain .git folder): it runs beside the walk, in a child
    // process ended at this bound, and past it the project's folders are for review, as when the
    // repository cannot be read.
    static constexpr std::chrono::seconds gitLookupBound{10};

    std::vector<Url> roots;
    int minimumAgeDays = 30;
    int maxDepth = 6; // a root is level 0
    Date now;
    // The libgit2 that is opened to read what git tracks (defaultGitLibrary()).
    std::string gitLibrary = defaultGitLibrary();
    std::chrono::milliseconds gitBound = gitLookupBound;

    // Each root in order, depth first. A stop request ends the walk with what was found. Every
    // folder is walked once however the roots name it: a root that is another one spelled
    // differently (a link, "..") is left out, and a root inside another is walked on its own and
    // passed over by the outer walk, so no item and no byte is listed twice.
    std::vector<CleanupItem> find(std::stop_token stop = {}) const;

    // Whether a folder the user listed names a root: an absolute path. The folder picker gives
    // nothing else; an empty or relative text (a hand-edited settings file) names no folder.
    static bool namesRoot(const std::string& folder);
    // The roots the folders name, in their order.
    static std::vector<Url> rootsFrom(const std::vector<std::string>& folders);

    // The newest content modification below the folder (the folder itself not counted),
    // leaving out the skipped names, the given names and ".DS_Store" files. With a gap, a newer
    // change may lie where the look did not reach: the project's age is unknown.
    static Dating lastChange(const Url& of, const std::set<std::string>& ignoring);
    // Whole days from the project's newest change to `now`, 0 when nothing was dated: its folders
    // are listed from minimumAgeDays on. A change seen too recently rules the project out even
    // when the look was cut short; an older one only says the project is at least that old.
    static double ageDays(const Dating& dating, Date now);

    // What git tracks in one artifact folder, its project's repository opened for it alone (the
    // walk opens it once per project). Reads the whole index, at most 64 MiB.
    static Tracking tracking(const Url& artifact, const std::string& gitLibrary = defaultGitLibrary(),
                             std::chrono::milliseconds bound = gitLookupBound);
    // The sentence an item's reason takes for a tracking that keeps its folder from being safe;
    // nothing for untracked.
    static std::optional<std::string> trackingSentence(Tracking tracking);
    // libgit2 as the build knew it.
    static std::string defaultGitLibrary();

    bool operator==(const ProjectFinder&) const = default;

private:
    struct Walk;
    // With `subfolders`, the folders to descend into are put there instead of walked.
    void walk(const Url& folder, int depth, Walk& into, std::vector<Url>* subfolders = nullptr) const;
};

} // namespace dovrane
