#include "Store/Store.h"

#include "Services/RemovalOwner.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/updates/UpdateChecker.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace dovrane::Store {

namespace {

const char* overridePath() {
    const char* value = std::getenv("APP_STORE");
    return value && *value ? value : nullptr;
}

std::string absolute(const std::string& path) {
    std::string file = path;
    if (file[0] != '/') {
        std::string folder(4096, '\0');
        if (getcwd(folder.data(), folder.size()))
            file = Path::join(folder.c_str(), file);
    }
    return file;
}

// The problem of a file's status, as seen without following a link.
std::optional<std::string> statusProblem(const struct stat& status) {
    if (S_ISLNK(status.st_mode))
        return "it is a symbolic link";
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    if (status.st_uid != geteuid())
        return "it belongs to another user";
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return "other users may write to it";
    return std::nullopt;
}

// Opens path for writing, made 0600 when missing and never through a link, and checks what was
// opened.
std::optional<std::string> createdOwnFileProblem(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == ELOOP ? std::string("it is a symbolic link") : std::string(std::strerror(errno));
    struct stat status {};
    std::optional<std::string> problem;
    if (fstat(fd, &status) != 0)
        problem = std::strerror(errno);
    else
        problem = statusProblem(status);
    close(fd);
    return problem;
}

// Only the user may read what Dovrane keeps (the journal lists the paths of removed files): a
// folder or file of the user's own with a looser mode gets `mode`. One the user made read-only
// keeps its mode: that is the user's word that it is not to be written. A file with another link
// is another file too, which is not Dovrane's to change. Never through a link, and never blocking
// on a named pipe put in a file's place.
void tighten(const std::string& path, bool isFolder, mode_t mode) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (isFolder ? O_DIRECTORY : 0));
    if (fd < 0)
        return;
    struct stat status {};
    if (fstat(fd, &status) == 0 && status.st_uid == geteuid() &&
        (isFolder ? S_ISDIR(status.st_mode) : (S_ISREG(status.st_mode) && status.st_nlink == 1)) &&
        (status.st_mode & S_IWUSR) && (status.st_mode & 07777) != mode)
        fchmod(fd, mode);
    close(fd);
}

// Dovrane's own files private, by name: its folder may be one the user shares with others. A new
// store is made private before SQLite opens it, so its log files, which take the store's mode,
// are private from the start.
void keepPrivate(const std::string& store, bool inOwnFolder) {
    if (inOwnFolder) {
        const int fd = open(store.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd >= 0)
            close(fd);
    }
    for (const char* suffix : {"", "-wal", "-shm"})
        tighten(store + suffix, false, 0600);
    tighten(RemovalOwner::lockPath(store), false, 0600);
    for (const Cache& cache : {scanCache, updatesCache, caskCache})
        tighten(cachePath(store, cache), false, 0600);
}

// A start that cannot open the store leaves no file behind where there was none, say on a
// full disk, where the empty store it made would be all that is left. Only empty files of the
// user's own go: one with bytes in it may be another start's store. The names of those kept.
std::vector<std::string> removeMadeFiles(const std::vector<std::string>& made) {
    std::vector<std::string> left;
    for (const std::string& path : made) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0)
            continue;
        if (!S_ISREG(status.st_mode) || status.st_uid != geteuid() || status.st_size != 0 || unlink(path.c_str()) != 0)
            left.push_back(path);
    }
    return left;
}

} // namespace

bool isOverridden() { return overridePath() != nullptr; }

static_assert(std::string_view(caskCache.name) == UpdateChecker::caskCacheFileName);

std::string cachePath(const std::string& store, const Cache& cache) {
    if (cache.testSuffix && isOverridden())
        return store + cache.testSuffix;
    return Path::join(Path::parent(store), cache.name);
}

std::string folder(bool prepare) {
    const std::string own = Path::join(Fs::dataHome(), "Dovrane");
    if (prepare) {
        Fs::makeDirectories(own, 0700);
        tighten(own, true, 0700);
    }
    return own;
}

Url url(bool prepare) {
    if (const char* path = overridePath())
        return Url::fromPath(absolute(path));
    return Url::fromPath(Path::join(folder(prepare), "Dovrane.store"));
}

std::optional<std::string> ownFileProblem(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(std::strerror(errno));
    return statusProblem(status);
}

std::optional<std::string> testStoreProblem() {
    const char* given = overridePath();
    if (!given)
        return std::nullopt;
    const std::string path = std::filesystem::path(absolute(given)).lexically_normal().string();
    if (!path.starts_with("/tmp/") || path.back() == '/')
        return "it is not a file in /tmp";
    const std::optional<std::string> folder = Fs::realPath(Path::parent(path));
    if (!folder)
        return "its folder does not exist";
    if (*folder != "/tmp" && !folder->starts_with("/tmp/"))
        return "its folder is not in /tmp";
    struct stat status {};
    if (stat(folder->c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return "its folder cannot be read";
    if ((status.st_mode & S_IWOTH) && !(status.st_mode & S_ISVTX))
        return "any user may replace files in its folder";
    // SQLite opens the write-ahead log and its index by name beside the store.
    for (const char* suffix : {"", "-wal", "-shm"})
        if (auto problem = ownFileProblem(path + suffix))
            return *suffix ? *problem + " (" + Path::lastComponent(path + suffix) + ")" : *problem;
    // A read-only store is refused when it is opened, and nothing is made beside it.
    if (ModelContainer::readOnlyProblem(path))
        return std::nullopt;
    // The store and its log files are made here, without following a link, so that what SQLite
    // opens is what was just checked: it would otherwise create the log files itself later, and
    // another user could make them first. In a sticky folder nobody else can swap them
    // afterwards, and the one connection keeps them until it closes.
    for (const char* suffix : {"", "-wal", "-shm"})
        if (auto problem = createdOwnFileProblem(path + suffix))
            return *suffix ? *problem + " (" + Path::lastComponent(path + suffix) + ")" : *problem;
    return std::nullopt;
}

} // namespace dovrane::Store

namespace dovrane::Store {

Expected<std::unique_ptr<ModelContainer>, ModelContainer::OpenFailure> openContainer() {
    const bool folderMissing = !isOverridden() && !Fs::exists(folder(false));
    const std::string path = url().path();
    // A first start that fails takes back the files it made; a store that was there keeps its
    // log files, which SQLite removes itself when nobody else uses them.
    std::vector<std::string> missing;
    if (!Fs::exists(path))
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            if (!Fs::exists(path + suffix))
                missing.push_back(path + suffix);
    ModelContainer::OpenFailure failure;
    // Checked before anything is made or made private, which would write into it.
    if (auto readOnly = ModelContainer::readOnlyProblem(path)) {
        failure = {*readOnly, false, ModelContainer::OpenFailure::Cause::readOnly};
    } else if (auto problem = testStoreProblem()) {
        failure.message = "the test store may not be used: " + *problem;
    } else {
        keepPrivate(path, !isOverridden());
        auto opened = ModelContainer::open(path);
        if (opened)
            return opened;
        failure = opened.error();
    }
    for (const std::string& file : removeMadeFiles(missing))
        failure.message += "; " + file + " was left behind";
    if (folderMissing)
        rmdir(folder(false).c_str()); // only when empty
    return failure;
}

std::optional<std::string> refusalLine(const std::string& prefix) {
    const std::string line = prefix + " refused: set APP_STORE to a file in /tmp";
    if (!isOverridden())
        return line;
    if (auto problem = testStoreProblem())
        return line + ": " + *problem;
    return std::nullopt;
}

std::optional<std::string> setAside(const std::string& path) {
    // The log belongs to the damaged file, and a fresh store must not replay it: it goes along
    // or nothing goes.
    return Fs::moveAside(path, ".damaged", {"-wal", "-shm"});
}

std::optional<FreshStart> startFresh(const std::string& path) {
    std::vector<std::shared_ptr<Removal>> readable = ModelContainer::readableRemovals(path);
    std::optional<std::string> aside = setAside(path);
    if (!aside)
        return std::nullopt;
    FreshStart started{*aside};
    if (readable.empty())
        return started;
    // A test store is opened through its checks, as every start opens it.
    auto fresh = url().path() == path ? openContainer() : ModelContainer::open(path);
    if (!fresh) {
        std::fprintf(stderr, "Could not start a new database at %s: %s\n", path.c_str(), fresh.error().message.c_str());
        return started;
    }
    for (auto& record : readable)
        (*fresh)->insert(std::move(record));
    if ((*fresh)->save())
        started.keptRemovals = readable.size();
    return started;
}

std::optional<Link> linkAt(const std::string& path) {
    const std::optional<std::string> target = Fs::linkTarget(path);
    if (!target)
        return std::nullopt;
    Link link{path, *target};
    if (!link.target.starts_with('/'))
        link.target = std::filesystem::path(Path::join(Path::parent(path), link.target)).lexically_normal().string();
    struct stat status {};
    link.targetExists = stat(path.c_str(), &status) == 0;
    return link;
}

namespace {

// Where a stand-in store goes: the user's runtime folder, private and emptied at logout, which
// stays writable when the disk is full; else the temporary folder.
std::string standInFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && Fs::isDirectory(runtime))
        return runtime;
    return Fs::temporaryDirectory();
}

// The store opened as it is, set aside and made anew when damaged, or why neither could be done.
WindowStore openOrReplace(const std::string& path) {
    WindowStore opened;
    for (const char* suffix : {"", "-wal", "-shm"})
        if (auto link = linkAt(path + suffix)) {
            opened.recovery = Recovery{Recovery::Kind::linked, path, "it is a symbolic link", {}, 0, std::move(*link)};
            return opened;
        }
    auto container = openContainer();
    if (container) {
        opened.container = std::move(container).value();
        return opened;
    }
    Recovery recovery;
    recovery.path = path;
    recovery.reason = container.error().message;
    recovery.damaged = container.error().damaged;
    recovery.cause = container.error().cause;
    if (container.error().damaged) {
        if (auto started = startFresh(path)) {
            recovery.aside = started->aside;
            recovery.keptRemovals = started->keptRemovals;
            auto fresh = openContainer();
            if (fresh) {
                recovery.kind = Recovery::Kind::setAside;
                opened.container = std::move(fresh).value();
            } else {
                recovery.reason = fresh.error().message;
            }
        } else {
            recovery.reason += "; it could not be moved aside";
        }
    }
    opened.recovery = std::move(recovery);
    return opened;
}

} // namespace

WindowStore openForWindow() {
    WindowStore opened = openOrReplace(url().path());
    if (opened.container)
        return opened;
    auto standIn = ModelContainer::openTemporary(standInFolder());
    if (standIn)
        opened.container = std::move(standIn).value();
    else
        opened.standInProblem = standIn.error().message;
    return opened;
}

std::unique_ptr<ModelContainer> makeContainer() {
    auto container = openContainer();
    if (!container) {
        std::fprintf(stderr, "Could not open the database at %s: %s\n", url(false).path().c_str(),
                     container.error().message.c_str());
        std::exit(1);
    }
    return std::move(container).value();
}

} // namespace dovrane::Store
