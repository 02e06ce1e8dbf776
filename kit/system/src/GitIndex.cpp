#include "system/GitIndex.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/SharedLibrary.h"
#include "system/DlopenNote.h"

#include <git2.h>

#include <sys/stat.h>

#include <map>
#include <mutex>

namespace dovrane {

namespace {

// libgit2's functions, from the library loaded when a repository is first looked at.
struct Git {
    decltype(&git_libgit2_init) libgit2_init = nullptr;
    decltype(&git_repository_open_ext) repository_open_ext = nullptr;
    decltype(&git_repository_workdir) repository_workdir = nullptr;
    decltype(&git_repository_path) repository_path = nullptr;
    decltype(&git_repository_index) repository_index = nullptr;
    decltype(&git_repository_free) repository_free = nullptr;
    decltype(&git_index_find_prefix) index_find_prefix = nullptr;
    decltype(&git_index_get_bypath) index_get_bypath = nullptr;
    decltype(&git_index_free) index_free = nullptr;
};

DOVRANE_DLOPEN_NOTE(gitNote, R"([{"feature":"git","description":"Which files git tracks in project build folders",)"
                             R"("priority":"recommended","soname":["libgit2.so.)" LIBGIT2_SOVERSION R"("]}])");

Expected<Git> load(const SharedLibrary& library) {
    Git git;
    std::optional<Failure> missing;
    library.bind(git.libgit2_init, "git_libgit2_init", missing);
    library.bind(git.repository_open_ext, "git_repository_open_ext", missing);
    library.bind(git.repository_workdir, "git_repository_workdir", missing);
    library.bind(git.repository_path, "git_repository_path", missing);
    library.bind(git.repository_index, "git_repository_index", missing);
    library.bind(git.repository_free, "git_repository_free", missing);
    library.bind(git.index_find_prefix, "git_index_find_prefix", missing);
    library.bind(git.index_get_bypath, "git_index_get_bypath", missing);
    library.bind(git.index_free, "git_index_free", missing);
    if (missing)
        return *missing;
    // Once per process, before any other call into the library; never shut down, since
    // another thread may still be using it.
    if (git.libgit2_init() < 0)
        return Failure{"libgit2 could not be started"};
    return git;
}

struct Loaded {
    explicit Loaded(const std::string& name) : library(name), git(load(library)) {}
    SharedLibrary library;
    Expected<Git> git;
};

// The library of that name, loaded by the first caller only; kept for the life of the process.
const Expected<Git>& loaded(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Loaded>> libraries;
    std::lock_guard lock(mutex);
    auto [found, added] = libraries.try_emplace(name);
    if (added)
        found->second = std::make_unique<Loaded>(name);
    return found->second->git;
}

} // namespace

struct GitIndex::Opened {
    Opened(const Git& git_, git_repository* repository_) : git(git_), repository(repository_) {}
    ~Opened() {
        if (index)
            git.index_free(index);
        git.repository_free(repository);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    const Git& git;
    git_repository* repository;
    git_index* index = nullptr;
    std::string workTree; // canonical
};

std::string GitIndex::defaultLibrary() { return "libgit2.so." LIBGIT2_SOVERSION; }

GitIndex GitIndex::of(const std::string& folder, const std::string& library) {
    GitIndex result;
    const Expected<Git>& git = loaded(library);
    if (!git) {
        result.state_ = State::noLibrary;
        return result;
    }
    // No flags: found from the folder upward, not across file systems, and not where GIT_DIR
    // and its like in this process's environment would send it.
    git_repository* repository = nullptr;
    const int opened = git->repository_open_ext(&repository, folder.c_str(), 0, nullptr);
    if (opened == GIT_ENOTFOUND && !repository)
        return result;
    if (opened < 0 || !repository) {
        result.state_ = State::unreadable;
        if (repository)
            git->repository_free(repository);
        return result;
    }
    auto open = std::make_shared<Opened>(*git, repository);
    const char* workTree = git->repository_workdir(repository);
    if (!workTree)
        return result; // a bare repository has no files checked out
    open->workTree = DeletionGuard::canonical(workTree);

    // The index is read whole; a larger one than any project has is not read at all.
    const char* gitFolder = git->repository_path(repository);
    struct stat index;
    if (!gitFolder || (stat(Path::join(gitFolder, "index").c_str(), &index) == 0 && index.st_size > largestIndex) ||
        git->repository_index(&open->index, repository) < 0 || !open->index) {
        result.state_ = State::unreadable;
        return result;
    }
    result.state_ = State::read;
    result.opened_ = std::move(open);
    return result;
}

bool GitIndex::tracks(const std::string& path) const {
    if (state_ != State::read)
        return false;
    const std::string real = DeletionGuard::canonical(path);
    const auto inside = Path::rebased(real, opened_->workTree, "/");
    if (!inside || *inside == "/")
        return false;
    const std::string relative = inside->substr(1); // as the index names it: "sub/build"
    const Git& git = opened_->git;
    // Anything below the folder, or the folder itself as one entry (a submodule checked out there).
    std::size_t position = 0;
    return git.index_find_prefix(&position, opened_->index, (relative + "/").c_str()) == 0 ||
           git.index_get_bypath(opened_->index, relative.c_str(), 0) != nullptr;
}

} // namespace dovrane
