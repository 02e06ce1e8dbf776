#include "support/TestSupport.h"

#include "support/TestEnvironment.h"

#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/FileSystem.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace dovrane::testing {

namespace {

std::optional<std::string> getEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// setenv may free the list of variables while another thread's getenv walks it: the models'
// workers and Qt's test watchdog read variables while tests change them. So the tests keep the
// list in an array of their own that never moves and never shrinks: a change swaps one pointer,
// a removal puts a name nobody asks for in the variable's place, and no string is ever freed.
class InPlaceEnvironment {
public:
    void write(const char* name, const std::optional<std::string>& value) {
        std::lock_guard lock(mutex_);
        adoptTheCurrentList();
        const std::string prefix = std::string(name) + "=";
        const auto slot = find(prefix);
        if (!value) {
            if (slot)
                store(*slot, keep(unsetEntry));
            return;
        }
        char* entry = keep(prefix + *value);
        if (const auto reused = slot ? slot : find(unsetEntry))
            store(*reused, entry);
        else
            append(entry);
    }

private:
    static constexpr const char* unsetEntry = "DOVRANE_TEST_UNSET=";
    static constexpr std::size_t capacity = 4096;

    // Anything that went around this class (a setenv at start-up) has a list of its own made;
    // copy it into a fresh array, leaving the old one for whoever still reads it.
    void adoptTheCurrentList() {
        if (slots_ != nullptr && environ == slots_)
            return;
        char** fresh = lists_.emplace_back(std::make_unique<char*[]>(capacity)).get();
        std::size_t count = 0;
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            if (count + 1 == capacity)
                throw std::runtime_error("too many environment variables for the tests");
            fresh[count++] = *entry;
        }
        slots_ = fresh;
        count_ = count;
        environ = slots_;
    }

    std::optional<std::size_t> find(const std::string& prefix) const {
        for (std::size_t slot = 0; slot < count_; ++slot)
            if (std::strncmp(slots_[slot], prefix.c_str(), prefix.size()) == 0)
                return slot;
        return std::nullopt;
    }

    void store(std::size_t slot, char* entry) { __atomic_store_n(&slots_[slot], entry, __ATOMIC_RELEASE); }

    // The slot after the last is empty already, so a reader meets the end either before the new
    // entry or right after it.
    void append(char* entry) {
        if (count_ + 1 == capacity)
            throw std::runtime_error("too many environment variables for the tests");
        store(count_++, entry);
    }

    // A deque never moves what it holds, and this object is never destroyed.
    char* keep(std::string entry) { return kept_.emplace_back(std::move(entry)).data(); }

    std::mutex mutex_;
    std::deque<std::string> kept_;
    std::vector<std::unique_ptr<char*[]>> lists_;
    char** slots_ = nullptr;
    std::size_t count_ = 0;
};

void restoreEnv(const char* name, const std::optional<std::string>& value) {
    static auto* const environment = new InPlaceEnvironment;
    environment->write(name, value);
}

void ensureParent(const std::string& path) { Fs::makeDirectories(Path::parent(path)); }

} // namespace

TempDir::TempDir(std::string_view prefix) {
    auto made = Fs::makeUniqueDirectory(testFolder().empty() ? "/tmp" : testFolder(), prefix);
    if (!made)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = *made;
}

TempDir::~TempDir() { Fs::removeAll(path_); }

std::string TempDir::operator/(std::string_view relative) const { return Path::join(path_, relative); }

TempHome::TempHome()
    : dir_("dovrane-home-"), savedHome_(getEnv("HOME")), savedData_(getEnv("XDG_DATA_HOME")),
      savedConfig_(getEnv("XDG_CONFIG_HOME")), savedCache_(getEnv("XDG_CACHE_HOME")) {
    restoreEnv("HOME", dir_.path());
    restoreEnv("XDG_DATA_HOME", dir_ / ".local/share");
    restoreEnv("XDG_CONFIG_HOME", dir_ / ".config");
    restoreEnv("XDG_CACHE_HOME", dir_ / ".cache");
}

TempHome::~TempHome() {
    restoreEnv("HOME", savedHome_);
    restoreEnv("XDG_DATA_HOME", savedData_);
    restoreEnv("XDG_CONFIG_HOME", savedConfig_);
    restoreEnv("XDG_CACHE_HOME", savedCache_);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value)
    : name_(std::move(name)), saved_(getEnv(name_.c_str())) {
    restoreEnv(name_.c_str(), value);
}

ScopedEnv::~ScopedEnv() { restoreEnv(name_.c_str(), saved_); }

void writeFile(const std::string& path, std::string_view contents) {
    ensureParent(path);
    if (!Fs::writeFile(path, contents))
        throw std::runtime_error("cannot write " + path);
}

void writeFileOfSize(const std::string& path, std::uint64_t size) { writeFile(path, std::string(size, 'x')); }

void makeFolder(const std::string& path) {
    if (!Fs::makeDirectories(path))
        throw std::runtime_error("cannot create " + path);
}

void makeSymlink(const std::string& target, const std::string& linkPath) {
    ensureParent(linkPath);
    if (symlink(target.c_str(), linkPath.c_str()) != 0)
        throw std::runtime_error("cannot link " + linkPath);
}

void makeHardLink(const std::string& existing, const std::string& linkPath) {
    ensureParent(linkPath);
    if (link(existing.c_str(), linkPath.c_str()) != 0)
        throw std::runtime_error("cannot hard-link " + linkPath);
}

std::map<std::string, std::string> snapshotTree(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            tree[relative] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            tree[relative] = "/";
        else
            tree[relative] = Fs::readFile(entry.path().string()).value_or("(unreadable)");
    }
    return tree;
}

std::string nestedJson(int levels, const std::string& inner) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += i % 2 ? "{\"k\":" : "[";
        close += i % 2 ? '}' : ']';
    }
    return open + inner + std::string(close.rbegin(), close.rend());
}

SocketFile::SocketFile(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = fd_ >= 0 && path.size() < sizeof address.sun_path &&
             bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd_, 1) == 0;
}

SocketFile::~SocketFile() {
    if (fd_ >= 0)
        close(fd_);
}

void setTimes(const std::string& path, Date date) {
    double unix = date.unixSeconds();
    timespec times[2];
    times[0].tv_sec = time_t(std::floor(unix));
    times[0].tv_nsec = long((unix - std::floor(unix)) * 1e9);
    times[1] = times[0];
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set times of " + path);
}

void setTimesRecursively(const std::string& path, Date date) {
    namespace fs = std::filesystem;
    if (fs::is_directory(fs::symlink_status(path)))
        for (const auto& entry : fs::recursive_directory_iterator(path))
            setTimes(entry.path().string(), date);
    setTimes(path, date);
}

void chownRecursively(const std::string& path, uid_t user, gid_t group) {
    namespace fs = std::filesystem;
    auto give = [user, group](const std::string& item) {
        if (lchown(item.c_str(), user, group) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot give " + item + " away");
    };
    if (fs::is_directory(fs::symlink_status(path)))
        for (const auto& entry : fs::recursive_directory_iterator(path))
            give(entry.path().string());
    give(path);
}

Date daysAgo(double days, Date from) { return from.adding(-days * 86400.0); }

bool mountTmpfs(const std::string& at) { return mount("tmpfs", at.c_str(), "tmpfs", 0, "size=16m") == 0; }

bool bindMount(const std::string& from, const std::string& at) {
    return mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

namespace {

constexpr int cannotPrepare = 77;

// Runs body in a forked child once prepare, run there first, returns true, and hands back what
// the body reported; the child's exit status says whether it got that far.
struct ChildRun {
    std::string report;
    int status = 0;
};

std::optional<ChildRun> runInChild(const std::function<bool()>& prepare, const std::function<std::string()>& body) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return std::nullopt;
    pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(channel[0]);
        if (!prepare())
            _exit(cannotPrepare);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& error) {
            report = std::string("threw: ") + error.what();
        }
        _exit(Fs::writeAll(channel[1], report) ? 0 : 3);
    }
    close(channel[1]);
    ChildRun run;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            run.report.append(buffer, std::size_t(n));
        else if (errno != EINTR)
            break;
    }
    close(channel[0]);
    while (waitpid(child, &run.status, 0) < 0 && errno == EINTR) {
    }
    return run;
}

std::string abnormalEnd(const ChildRun& run) {
    return run.report + "the child ended abnormally (status " + std::to_string(run.status) + ")";
}

} // namespace

std::optional<std::string> withPrivateMounts(const std::function<std::string()>& body) {
    const auto run = runInChild(
        [] {
            // Private, so that nothing mounted here reaches the rest of the machine; a probe
            // first, so that a system that refuses mounting is told apart from a failing test.
            auto probe = Fs::makeUniqueDirectory("/tmp", "dovrane-mount-probe-");
            bool usable = probe && unshare(CLONE_NEWNS) == 0 &&
                          mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 && mountTmpfs(*probe) &&
                          umount(probe->c_str()) == 0;
            if (probe)
                rmdir(probe->c_str());
            return usable;
        },
        body);
    if (!run)
        return "no child process";
    if (WIFEXITED(run->status) && WEXITSTATUS(run->status) == cannotPrepare)
        return std::nullopt;
    if (!WIFEXITED(run->status) || WEXITSTATUS(run->status) != 0)
        return abnormalEnd(*run);
    return run->report;
}

OrdinaryUser ordinaryUser() {
    if (geteuid() == 0)
        return {65534, 65534};
    return {geteuid(), getegid()};
}

std::string asOrdinaryUser(const std::function<std::string()>& body) {
    if (geteuid() != 0)
        return body();
    const OrdinaryUser nobody = ordinaryUser();
    const auto run = runInChild(
        [&nobody] {
            return setgroups(0, nullptr) == 0 && setresgid(nobody.group, nobody.group, nobody.group) == 0 &&
                   setresuid(nobody.user, nobody.user, nobody.user) == 0;
        },
        body);
    if (!run)
        return "no child process";
    if (!WIFEXITED(run->status) || WEXITSTATUS(run->status) != 0)
        return abnormalEnd(*run);
    return run->report;
}

std::optional<std::string>
withHomeUnderVar(const std::function<std::string(const std::string& spelled, const std::string& real)>& body) {
    return withPrivateMounts([&body] {
        const std::string spelled = "/home/u", real = "/var/home/u";
        if (!mountTmpfs("/var") || !mountTmpfs("/home"))
            return std::string("mounting failed");
        const OrdinaryUser user = ordinaryUser();
        makeFolder(real);
        if (chown(real.c_str(), user.user, user.group) != 0 || chmod(real.c_str(), 0700) != 0)
            return std::string("cannot give the home to its user");
        makeSymlink(real, spelled);
        setenv("HOME", spelled.c_str(), 1);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            unsetenv(name);
        return asOrdinaryUser([&] { return body(spelled, real); });
    });
}

std::optional<std::string> gitProgram() {
    const char* path = std::getenv("PATH");
    for (std::string_view rest = path ? path : ""; !rest.empty();) {
        const std::size_t colon = rest.find(':');
        const std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (!folder.empty() && Fs::isExecutableFile(Path::join(folder, "git")))
            return Path::join(folder, "git");
    }
    return std::nullopt;
}

bool git(const std::string& program, const std::string& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-C", folder});
    return ProcessRunner(60).run(program, arguments).has_value();
}

} // namespace dovrane::testing
