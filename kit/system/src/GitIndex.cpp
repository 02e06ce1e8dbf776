#include "system/GitIndex.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/FolderDescent.h"
#include "DovraneKit/system/SharedLibrary.h"
#include "system/DlopenNote.h"
#include "system/ForkedChild.h"
#include "system/GitFiles.h"

#include <git2.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace dovrane {

namespace {

// libgit2's functions, from the library loaded when a repository it must read is first met.
struct Git {
    decltype(&git_libgit2_init) libgit2_init = nullptr;
    decltype(&git_libgit2_opts) libgit2_opts = nullptr;
    decltype(&git_repository_open_ext) repository_open_ext = nullptr;
    decltype(&git_repository_workdir) repository_workdir = nullptr;
    decltype(&git_repository_path) repository_path = nullptr;
    decltype(&git_repository_config_snapshot) repository_config_snapshot = nullptr;
    decltype(&git_repository_free) repository_free = nullptr;
    decltype(&git_config_get_bool) config_get_bool = nullptr;
    decltype(&git_config_free) config_free = nullptr;
};

DOVRANE_DLOPEN_NOTE(gitNote, R"([{"feature":"git","description":"Which files git tracks in project build folders",)"
                             R"("priority":"recommended","soname":["libgit2.so.)" LIBGIT2_SOVERSION R"("]}])");

Expected<Git> load(const SharedLibrary& library) {
    Git git;
    std::optional<Failure> missing;
    library.bind(git.libgit2_init, "git_libgit2_init", missing);
    library.bind(git.libgit2_opts, "git_libgit2_opts", missing);
    library.bind(git.repository_open_ext, "git_repository_open_ext", missing);
    library.bind(git.repository_workdir, "git_repository_workdir", missing);
    library.bind(git.repository_path, "git_repository_path", missing);
    library.bind(git.repository_config_snapshot, "git_repository_config_snapshot", missing);
    library.bind(git.repository_free, "git_repository_free", missing);
    library.bind(git.config_get_bool, "git_config_get_bool", missing);
    library.bind(git.config_free, "git_config_free", missing);
    if (missing)
        return *missing;
    // Once per process, before any other call into the library; never shut down, since
    // another thread may still be using it.
    if (git.libgit2_init() < 0)
        return Failure{"libgit2 could not be started"};
    // The repository's own configuration only: the user's and the system's name no repository,
    // and each would be one more file to open for every repository.
    for (const int level :
         {GIT_CONFIG_LEVEL_PROGRAMDATA, GIT_CONFIG_LEVEL_SYSTEM, GIT_CONFIG_LEVEL_XDG, GIT_CONFIG_LEVEL_GLOBAL})
        git.libgit2_opts(GIT_OPT_SET_SEARCH_PATH, level, "");
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

using State = GitIndex::State;
using Answer = GitIndex::Answer;

// MARK: Reading git's files

// The bytes of the regular file at `name` (below the folder `at`), opened without waiting on
// anything else in its place; `flags` may add O_NOFOLLOW. Nothing when it is missing (errno
// ENOENT), is no regular file, is larger than `largest` (EFBIG) or cannot be read.
std::optional<std::string> readRegular(int at, const char* name, std::int64_t largest, int flags = 0) {
    const int file = Fs::openToLook(at, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags);
    if (file < 0)
        return std::nullopt;
    struct stat seen {};
    const bool looked = ::fstat(file, &seen) == 0;
    if (!looked || !S_ISREG(seen.st_mode) || seen.st_size > largest) {
        const int failure = !looked ? errno : S_ISREG(seen.st_mode) ? EFBIG : EINVAL;
        ::close(file);
        errno = failure;
        return std::nullopt;
    }
    // Read up to the size it had when looked at, with room for one byte more: a file grown since
    // is refused, one that shrank ends early.
    std::string bytes(std::size_t(seen.st_size) + 1, '\0');
    std::size_t have = 0;
    for (;;) {
        const ssize_t got = ::read(file, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || (have += std::size_t(got)) > std::size_t(seen.st_size)) {
            const int failure = got < 0 ? errno : EFBIG;
            ::close(file);
            errno = failure;
            return std::nullopt;
        }
        if (got == 0 || have == std::size_t(seen.st_size))
            break;
    }
    ::close(file);
    bytes.resize(have);
    return bytes;
}

// MARK: What the index says

// What git tracks of `paths` (real) by the index in `gitFolder`, for the work tree `workTree`
// (real). The index is opened once, never through a link and never unless it is a regular file
// no larger than largestIndex; a repository without one tracks nothing yet.
Answer readTracked(const std::string& gitFolder, const std::string& workTree, const std::vector<std::string>& paths,
                   const gitfiles::Config& config) {
    Answer answer{State::unreadable, {}};
    std::vector<std::string> relative;
    std::vector<std::size_t> asked; // which path each relative one is
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (const auto inside = Path::rebased(paths[i], workTree, "/"); inside && *inside != "/") {
            relative.push_back(inside->substr(1)); // as the index names it: "sub/build"
            asked.push_back(i);
        }
    // Opened without following a link and without waiting on anything a regular file's place
    // might hold; read only when it is one.
    std::optional<std::vector<bool>> found;
    const auto bytes =
        readRegular(AT_FDCWD, Path::join(gitFolder, "index").c_str(), GitIndex::largestIndex, O_NOFOLLOW);
    if (!bytes) {
        if (errno != ENOENT)
            return answer;
        found.emplace(relative.size(), false);
    } else {
        found = gitfiles::tracked(*bytes, relative, config);
        if (!found)
            return answer;
    }
    answer.state = State::read;
    answer.tracked.assign(paths.size(), false);
    for (std::size_t i = 0; i < asked.size(); ++i)
        answer.tracked[asked[i]] = (*found)[i];
    return answer;
}

// MARK: The look at the folders above

// What a folder on the way up holds, as git would find it.
enum class Look {
    nothing, // no repository of git's
    plain,   // a ".git" folder read here alone: a repository with its work tree right here and a
             // configuration that says nothing more than how names compare
    library, // a repository only libgit2 reads right: a ".git" file naming its folder elsewhere (a
             // linked work tree, a submodule), a configuration that says more, a bare repository
    refused, // a pipe, a socket or a device where git opens a file, or a file larger than any
             // repository's: never opened, and not handed to libgit2
};

Look worse(Look a, Look b) { return std::max(a, b); }

struct Level {
    dev_t device = 0;
    Look look = Look::nothing;
    gitfiles::Config config; // when plain
};

// The folder a ".git" file or a "commondir" file names: "gitdir: PATH" or PATH, relative to the
// folder that holds the file unless absolute. Left to the kernel to resolve, as libgit2 leaves it.
std::string namedFolder(std::string_view text, std::string_view prefix, const std::string& holder) {
    if (text.starts_with(prefix))
        text.remove_prefix(prefix.size());
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    return text.starts_with('/') ? std::string(text) : Path::join(holder, text);
}

// The entries git opens or looks for in a repository's folder.
enum Entry { atHead, atConfig, atConfigWorktree, atIndex, atCommondir, atGitdir, atObjects, atRefs, entryCount };
constexpr std::array<std::string_view, entryCount> entryNames = {"HEAD",      "config", "config.worktree", "index",
                                                                 "commondir", "gitdir", "objects",         "refs"};
// Each entry's kind (S_IFMT), 0 for none.
using Kinds = std::array<mode_t, entryCount>;

// The kinds of those entries of the open folder `fd`, as git would find them (links followed),
// from one listing: an entry the listing does not type, or a link, is looked at. Nothing when the
// folder cannot be listed.
std::optional<Kinds> kindsIn(int fd) {
    Kinds kinds{};
    alignas(8) char buffer[8192];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return kinds;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const auto named = std::find(entryNames.begin(), entryNames.end(), std::string_view(entry->d_name));
            if (named == entryNames.end())
                continue;
            mode_t kind = DTTOIF(entry->d_type);
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat info;
                if (::fstatat(fd, entry->d_name, &info, 0) != 0)
                    continue; // nothing git could open and wait on
                kind = info.st_mode & S_IFMT;
            }
            kinds[std::size_t(named - entryNames.begin())] = kind;
        }
    }
}

// A repository's own folder at `path`, open as `fd`. Looking opens nothing, so a pipe waits for
// no one here. `own`: the folder and its work tree are this user's. `common`: the folder a linked
// work tree's names. A plain one's configuration is read into `config`.
Look lookAtGitFolder(const std::string& path, int fd, bool own, bool common, gitfiles::Config& config) {
    const std::optional<Kinds> kinds = kindsIn(fd);
    if (!kinds)
        return Look::library; // libgit2 cannot read it either, and says so
    for (std::size_t entry = 0; entry < entryCount; ++entry) {
        const mode_t kind = (*kinds)[entry];
        if (kind != 0 && kind != S_IFREG && kind != S_IFDIR)
            return Look::refused;
        // What libgit2 would read whole besides the configuration and the index, kept small.
        struct stat info;
        if (kind == S_IFREG && (entry == atConfigWorktree || entry == atCommondir || entry == atGitdir) &&
            (::fstatat(fd, entryNames[entry].data(), &info, 0) != 0 || info.st_size > GitIndex::largestFile))
            return Look::refused;
    }
    auto is = [&](Entry entry, mode_t kind) { return (*kinds)[entry] == kind; };
    // A linked work tree's folder names the common one, whose configuration is read too.
    if (!common && is(atCommondir, S_IFREG)) {
        const auto text = readRegular(fd, "commondir", GitIndex::largestFile);
        if (!text)
            return Look::refused;
        const std::string commonPath = namedFolder(*text, "", path);
        const OpenFolder commonFolder(Fs::openToLook(AT_FDCWD, commonPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        gitfiles::Config unused;
        return commonFolder.fd() < 0
                   ? Look::library
                   : worse(Look::library, lookAtGitFolder(commonPath, commonFolder.fd(), own, true, unused));
    }
    if (common || !own || !is(atHead, S_IFREG) || !is(atObjects, S_IFDIR) || !is(atRefs, S_IFDIR) ||
        !is(atCommondir, 0) || !is(atGitdir, 0) || !is(atConfigWorktree, 0) || is(atConfig, S_IFDIR))
        return Look::library;
    // What the configuration says of the index's names, or libgit2 reads it.
    if (is(atConfig, 0))
        return Look::plain;
    if (const auto text = readRegular(fd, "config", GitIndex::largestFile)) {
        if (const auto plain = gitfiles::plainConfig(*text)) {
            config = *plain;
            return Look::plain;
        }
        return Look::library;
    }
    return errno == EFBIG ? Look::refused : Look::library;
}

// The same, for a folder not open yet.
Look lookAtGitFolder(const std::string& path, bool own) {
    const OpenFolder folder(Fs::openToLook(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    gitfiles::Config unused;
    return folder.fd() < 0 ? Look::library : lookAtGitFolder(path, folder.fd(), own, false, unused);
}

// One folder on the way up (`status` its own, `user` this process's): its ".git" (a folder, or a
// file naming one), and the folder itself when it is a repository's folder (a bare repository,
// or the inside of one).
Level lookAtLevel(const std::string& level, const struct stat& status, uid_t user) {
    Level seen{status.st_dev, Look::nothing, {}};
    struct stat info;
    const std::string dotGit = Path::join(level, ".git");
    // Opened only as a folder (links followed, as git follows them): a pipe or a device there
    // is refused by the open itself, before anything waits on it.
    const OpenFolder folder(Fs::openToLook(AT_FDCWD, dotGit.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd() >= 0) {
        const bool own = status.st_uid == user && ::fstat(folder.fd(), &info) == 0 && info.st_uid == user;
        seen.look = lookAtGitFolder(dotGit, folder.fd(), own, false, seen.config);
    } else if (errno != ENOENT && ::stat(dotGit.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || info.st_size > GitIndex::largestFile) {
            seen.look = S_ISDIR(info.st_mode) ? Look::library : Look::refused; // a folder it cannot read
            return seen;
        }
        const auto text = Fs::readFile(dotGit, GitIndex::largestFile);
        const std::string named = text ? namedFolder(*text, "gitdir:", level) : std::string();
        if (!text || ::stat(named.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            seen.look = Look::refused;
            return seen;
        }
        seen.look = worse(Look::library, lookAtGitFolder(named, false));
    }
    // git looks at the folder itself only when its ".git" is no repository.
    if (seen.look != Look::plain && ::lstat(Path::join(level, "HEAD").c_str(), &info) == 0 &&
        ::stat(Path::join(level, "objects").c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        seen.look = worse(seen.look, worse(Look::library, lookAtGitFolder(level, false)));
    return seen;
}

// MARK: The child that asks libgit2

struct Question {
    std::size_t number = 0;
    std::string folder;             // real
    std::vector<std::string> paths; // real
};

// The most one message may carry: a folder asked about, or the two folders of an answer.
constexpr std::uint32_t largestMessage = 1u << 20;

void putNumber(std::string& into, std::uint32_t number) {
    into.append(reinterpret_cast<const char*>(&number), sizeof number);
}

void putText(std::string& into, std::string_view text) {
    putNumber(into, std::uint32_t(text.size()));
    into += text;
}

// A message: its length, then its body (native order: both ends are this program).
std::string framed(const std::string& body) {
    std::string message;
    putText(message, body);
    return message;
}

// What a message's body holds, read from its front.
class Fields {
public:
    explicit Fields(std::string_view body) : rest_(body) {}
    std::optional<std::uint32_t> number() {
        std::uint32_t value = 0;
        if (rest_.size() < sizeof value)
            return std::nullopt;
        std::memcpy(&value, rest_.data(), sizeof value);
        rest_.remove_prefix(sizeof value);
        return value;
    }
    std::optional<std::string> text() {
        const auto size = number();
        if (!size || *size > rest_.size())
            return std::nullopt;
        std::string value(rest_.substr(0, *size));
        rest_.remove_prefix(*size);
        return value;
    }

private:
    std::string_view rest_;
};

bool sendAll(int socket, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data.remove_prefix(std::size_t(sent));
    }
    return true;
}

// The child's side of the socket: the folders asked about as they come, several in one read
// where the parent sent several at once.
class Folders {
public:
    explicit Folders(int socket) : socket_(socket) {}

    std::optional<std::string> next() {
        std::uint32_t size = 0;
        if (!take(reinterpret_cast<char*>(&size), sizeof size) || size > largestMessage)
            return std::nullopt;
        std::string folder(size, '\0');
        if (!take(folder.data(), size))
            return std::nullopt;
        return folder;
    }

private:
    bool take(char* into, std::size_t size) {
        while (size > 0) {
            if (at_ == held_.size()) {
                held_.resize(65536);
                at_ = 0;
                const ssize_t got = ::recv(socket_, held_.data(), held_.size(), 0);
                if (got <= 0) {
                    held_.clear();
                    if (got < 0 && errno == EINTR)
                        continue;
                    return false;
                }
                held_.resize(std::size_t(got));
            }
            const std::size_t part = std::min(size, held_.size() - at_);
            std::memcpy(into, held_.data() + at_, part);
            at_ += part;
            into += part;
            size -= part;
        }
        return true;
    }

    int socket_;
    std::string held_;
    std::size_t at_ = 0;
};

// Where libgit2 finds the repository of a folder: its work tree and its own folder, and how the
// index's names compare. The index itself is read by readTracked, in the parent.
struct Found {
    State state = State::outside;
    gitfiles::Config config;
    std::string workTree;  // real
    std::string gitFolder; // as libgit2 names it
};

// In the child.
Found lookUp(const Git& git, const std::string& folder) {
    Found found;
    // No flags: found from the folder upward, not across file systems, and not where GIT_DIR
    // and its like in this process's environment would send it.
    git_repository* repository = nullptr;
    const int opened = git.repository_open_ext(&repository, folder.c_str(), 0, nullptr);
    if (opened == GIT_ENOTFOUND && !repository)
        return found;
    std::unique_ptr<git_repository, decltype(git.repository_free)> held(repository, git.repository_free);
    found.state = State::unreadable;
    if (opened < 0 || !repository)
        return found;
    const char* workTree = git.repository_workdir(repository);
    if (!workTree) {
        found.state = State::outside; // a bare repository has no files checked out
        return found;
    }
    const char* gitFolder = git.repository_path(repository);
    git_config* config = nullptr;
    if (!gitFolder || git.repository_config_snapshot(&config, repository) < 0 || !config)
        return found;
    int ignoreCase = 0;
    if (git.config_get_bool(&ignoreCase, config, "core.ignorecase") < 0)
        ignoreCase = 0;
    git.config_free(config);
    found.state = State::read;
    found.config.ignoreCase = ignoreCase != 0;
    found.workTree = DeletionGuard::canonical(workTree);
    found.gitFolder = gitFolder;
    return found;
}

// The child's life: each folder answered as it comes, until the socket closes.
[[noreturn]] void serve(const Git& git, int socket) {
    try {
        Folders folders(socket);
        while (const std::optional<std::string> folder = folders.next()) {
            const Found found = lookUp(git, *folder);
            std::string body(1, char(found.state));
            body += found.config.ignoreCase ? '\1' : '\0';
            putText(body, found.workTree);
            putText(body, found.gitFolder);
            if (!sendAll(socket, framed(body)))
                break;
        }
    } catch (...) {
        ::_exit(1);
    }
    // No exit handlers: they belong to the parent.
    ::_exit(0);
}

// The child process that answers: started when first needed, ended when an answer takes too
// long or does not come, and at the end.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { end(); }

    bool running() const { return pid_ > 0; }

    bool start(const Git& git) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        const pid_t parent = ::getpid();
        const pid_t child = forkedchild::fork();
        if (child == 0) {
            // Its end of the socket moves to the first descriptor after the standard streams.
            constexpr int socket = STDERR_FILENO + 1;
            const int moved = ::fcntl(ends[1], F_DUPFD, socket);
            if (moved < 0 || !forkedchild::settle(parent) || (moved != socket && ::dup2(moved, socket) < 0))
                ::_exit(1);
            // Nothing of the parent's stays open here: a pipe another part of it reads to its end
            // must end when its writer does, not when this child does.
            if (::close_range(socket + 1, ~0u, 0) != 0)
                for (int fd = socket + 1, last = int(::sysconf(_SC_OPEN_MAX)); fd < last; ++fd)
                    ::close(fd);
            serve(git, socket);
        }
        ::close(ends[1]);
        if (child < 0) {
            ::close(ends[0]);
            return false;
        }
        pid_ = child;
        socket_ = ends[0];
        return true;
    }

    bool send(const std::vector<Question>& questions) {
        std::string message;
        for (const Question& question : questions)
            putText(message, question.folder);
        return sendAll(socket_, message);
    }

    // The answer to the next folder sent; nothing when it did not come within `bound` or before
    // `abandon` was set (the child is ended then).
    std::optional<Found> next(std::chrono::milliseconds bound, const std::atomic<bool>& abandon) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        std::string message;
        std::size_t expected = sizeof(std::uint32_t);
        char buffer[4096];
        while (message.size() < expected) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || abandon) {
                end();
                return std::nullopt;
            }
            // A stop is noticed within a tenth of a second, whatever the bound.
            pollfd watched{socket_, POLLIN, 0};
            if (::poll(&watched, 1, int(std::min<std::int64_t>(left.count(), 100))) <= 0)
                continue;
            const ssize_t got = ::recv(socket_, buffer, std::min(sizeof buffer, expected - message.size()), 0);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                end();
                return std::nullopt;
            }
            message.append(buffer, std::size_t(got));
            if (expected == sizeof(std::uint32_t) && message.size() == expected) {
                const auto size = Fields(message).number();
                if (!size || *size > largestMessage) {
                    end();
                    return std::nullopt;
                }
                expected += *size;
            }
        }
        // The state, whether names compare without case, the work tree, the repository's folder.
        const std::string_view body = std::string_view(message).substr(sizeof(std::uint32_t));
        Fields texts(body.substr(std::min<std::size_t>(2, body.size())));
        auto workTree = texts.text();
        auto gitFolder = texts.text();
        if (body.size() < 2 || body[0] < char(State::outside) || body[0] > char(State::unreadable) || !workTree ||
            !gitFolder) {
            end();
            return std::nullopt;
        }
        Found found;
        found.state = State(body[0]);
        found.config.ignoreCase = body[1] != '\0';
        found.workTree = std::move(*workTree);
        found.gitFolder = std::move(*gitFolder);
        return found;
    }

    // Idle or waiting on something that will never come: it is killed either way.
    void end() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (socket_ >= 0)
            ::close(socket_);
        pid_ = -1;
        socket_ = -1;
    }

private:
    pid_t pid_ = -1;
    int socket_ = -1;
};

} // namespace

// MARK: Questions and answers

struct GitIndex::Shared {
    Shared(std::string library_, std::chrono::milliseconds bound_) : library(std::move(library_)), bound(bound_) {}

    const std::string library;
    const std::chrono::milliseconds bound;
    const uid_t user = ::geteuid();

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Answer> answers;
    std::deque<Question> waiting; // for libgit2
    std::size_t open = 0;         // questions libgit2 has still to answer
    bool closing = false;         // no more questions
    std::atomic<bool> abandon{false};
    std::thread worker;

    // Folders on the way up already looked at, by their real paths, and other folders known to
    // be where their paths say (those that questions named, and their parents).
    std::unordered_map<std::string, Level> levels;
    std::unordered_set<std::string> realFolders;

    struct Screened {
        Look look = Look::nothing;
        std::string folder;   // real
        std::string workTree; // when plain
        gitfiles::Config config;
    };
    Screened screen(const std::string& folder);
    void work();
};

// Where `folder` really is and the repository git would find for it: the folders from there up
// to the top of its file system, up to the first plain repository.
GitIndex::Shared::Screened GitIndex::Shared::screen(const std::string& folder) {
    auto cached = [this](const std::string& level) -> std::optional<Level> {
        std::lock_guard lock(mutex);
        if (auto known = levels.find(level); known != levels.end())
            return known->second;
        return std::nullopt;
    };
    auto isReal = [this](const std::string& path) {
        std::lock_guard lock(mutex);
        return realFolders.contains(path) || levels.contains(path);
    };
    auto look = [this](const std::string& level, const struct stat& status) {
        const Level seen = lookAtLevel(level, status, user);
        std::lock_guard lock(mutex);
        levels.emplace(level, seen);
        return seen;
    };
    Screened screened;
    // A folder whose parent was looked at (a walk's next folder) is where its name says unless it
    // is a link: one look tells, where finding its real place would look at every component.
    std::optional<Level> first;
    if (const std::string name = Path::lastComponent(folder); name != "." && name != ".." && !name.empty())
        if (isReal(Path::parent(folder)))
            if (struct stat info; ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                screened.folder = folder;
                first = cached(folder);
                if (!first)
                    first = look(folder, info);
            }
    if (screened.folder.empty()) {
        std::optional<std::string> real = Fs::realPath(folder);
        if (!real)
            return screened; // gone: nothing below it to track
        screened.folder = std::move(*real);
    }
    {
        std::lock_guard lock(mutex);
        realFolders.insert(screened.folder);
        realFolders.insert(Path::parent(screened.folder));
    }
    std::optional<dev_t> device;
    for (std::string level = screened.folder;; level = Path::parent(level)) {
        std::optional<Level> seen = level == screened.folder && first ? first : cached(level);
        if (!seen) {
            struct stat info;
            if (::stat(level.c_str(), &info) != 0)
                break;
            seen = look(level, info);
        }
        if (device && *device != seen->device)
            break;
        device = seen->device;
        if (seen->look == Look::plain && screened.look == Look::nothing) {
            screened.look = Look::plain;
            screened.workTree = level;
            screened.config = seen->config;
            break;
        }
        // git would stop at a plain repository; libgit2 is asked, and so must not find a pipe.
        screened.look = worse(screened.look, seen->look == Look::plain ? Look::library : seen->look);
        if (screened.look == Look::refused || seen->look == Look::plain || level == "/")
            break;
    }
    return screened;
}

void GitIndex::Shared::work() {
    const Expected<Git>& git = loaded(library);
    Child child;
    auto answer = [this](const Question& question, Answer given) {
        {
            std::lock_guard lock(mutex);
            answers[question.number] = std::move(given);
            --open;
        }
        changed.notify_all();
    };
    for (;;) {
        // Every question waiting goes to the child at once; it answers them in turn.
        std::vector<Question> questions;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !waiting.empty() || closing || abandon; });
            if (waiting.empty())
                break;
            std::move(waiting.begin(), waiting.end(), std::back_inserter(questions));
            waiting.clear();
        }
        if (!git || abandon || (!child.running() && !child.start(*git)) || !child.send(questions)) {
            child.end();
            for (const Question& question : questions)
                answer(question, {git ? State::unreadable : State::noLibrary, {}});
            continue;
        }
        for (std::size_t i = 0; i < questions.size(); ++i) {
            std::optional<Found> found = child.next(bound, abandon);
            if (found) {
                answer(questions[i], found->state == State::read ? readTracked(found->gitFolder, found->workTree,
                                                                               questions[i].paths, found->config)
                                                                 : Answer{found->state, {}});
                continue;
            }
            // This one held the child or ended it; the rest go to the next child.
            answer(questions[i], {State::unreadable, {}});
            std::lock_guard lock(mutex);
            waiting.insert(waiting.begin(), std::make_move_iterator(questions.begin() + std::ptrdiff_t(i) + 1),
                           std::make_move_iterator(questions.end()));
            break;
        }
    }
}

std::string GitIndex::defaultLibrary() { return "libgit2.so." LIBGIT2_SOVERSION; }

GitIndex::GitIndex(std::string library, std::chrono::milliseconds bound)
    : shared_(std::make_unique<Shared>(std::move(library), bound)) {}

GitIndex::~GitIndex() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closing = true;
        shared_->abandon = true;
    }
    shared_->changed.notify_all();
    if (shared_->worker.joinable())
        shared_->worker.join();
}

std::size_t GitIndex::ask(const std::string& folder, const std::vector<std::string>& names) {
    Shared& shared = *shared_;
    std::size_t number;
    {
        std::lock_guard lock(shared.mutex);
        number = shared.answers.size();
        shared.answers.emplace_back();
    }
    Shared::Screened screened = shared.screen(folder);
    // Each entry where the folder really is.
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back(Path::join(screened.folder, name));
    Answer answer{State::unreadable, {}};
    if (screened.look == Look::nothing)
        answer.state = State::outside;
    else if (screened.look == Look::plain)
        answer = readTracked(Path::join(screened.workTree, ".git"), screened.workTree, paths, screened.config);
    std::lock_guard lock(shared.mutex);
    if (screened.look != Look::library) {
        shared.answers[number] = std::move(answer);
        return number;
    }
    shared.waiting.push_back({number, std::move(screened.folder), std::move(paths)});
    ++shared.open;
    if (!shared.worker.joinable())
        shared.worker = std::thread(&Shared::work, &shared);
    shared.changed.notify_all();
    return number;
}

std::vector<GitIndex::Answer> GitIndex::answers(std::stop_token stop) {
    Shared& shared = *shared_;
    std::stop_callback onStop(stop, [&shared] {
        {
            std::lock_guard lock(shared.mutex);
            shared.abandon = true;
        }
        shared.changed.notify_all();
    });
    {
        std::unique_lock lock(shared.mutex);
        shared.closing = true;
        shared.changed.notify_all();
        shared.changed.wait(lock, [&shared] { return shared.open == 0 || shared.abandon; });
    }
    if (shared.worker.joinable())
        shared.worker.join();
    std::lock_guard lock(shared.mutex);
    return std::move(shared.answers);
}

GitIndex::Answer GitIndex::of(const std::string& folder, const std::vector<std::string>& names,
                              const std::string& library, std::chrono::milliseconds bound) {
    GitIndex index(library, bound);
    index.ask(folder, names);
    return index.answers().front();
}

} // namespace dovrane
