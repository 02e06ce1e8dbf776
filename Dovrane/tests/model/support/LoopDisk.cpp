#include "support/LoopDisk.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

extern char** environ;

namespace dovrane::testing {

namespace {

// The file system's "going down" request, and its flag for stopping without flushing the log:
// the power cut of ext4's own crash tests.
constexpr unsigned long goingDown = _IOR('X', 125, std::uint32_t);
constexpr std::uint32_t withoutFlushingTheLog = 0x2;

std::string mkfsProgram() {
    for (const char* path : {"/usr/sbin/mkfs.ext4", "/sbin/mkfs.ext4"})
        if (access(path, X_OK) == 0)
            return path;
    return {};
}

// The program's exit status, its output dropped; -1 when it did not run to an end.
int run(const std::vector<std::string>& arguments) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0)
        return -1;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::optional<std::string> LoopDisk::make(std::unique_ptr<LoopDisk>& made, int megabytes) {
    if (access("/dev/loop-control", R_OK | W_OK) != 0)
        return "there are no loop devices here";
    const std::string mkfs = mkfsProgram();
    if (mkfs.empty())
        return "mkfs.ext4 (e2fsprogs) is not installed";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "mounting in a mount namespace of its own needs root";
    std::unique_ptr<LoopDisk> disk(new LoopDisk);
    disk->folder_ = std::make_unique<TempDir>("dovrane-disk-");
    disk->image_ = *disk->folder_ / "disk.img";
    disk->root_ = *disk->folder_ / "mounted";
    makeFolder(disk->root_);
    const int image = open(disk->image_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool sized = image >= 0 && ftruncate(image, off_t(megabytes) << 20) == 0;
    if (image >= 0)
        close(image);
    if (!sized || run({mkfs, "-q", "-F", "-E", "nodiscard", disk->image_}) != 0)
        return "mkfs.ext4 could not make a file system in a file";
    if (auto problem = disk->attachAndMount())
        return problem;
    made = std::move(disk);
    return std::nullopt;
}

LoopDisk::~LoopDisk() { unmountAndDetach(); }

std::optional<std::string> LoopDisk::attachAndMount() {
    const int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    const int backing = open(image_.c_str(), O_RDWR | O_CLOEXEC);
    std::string path;
    // Another program may take the free device first.
    for (int attempt = 0; attempt < 16 && control >= 0 && backing >= 0 && device_ < 0; ++attempt) {
        const int number = ioctl(control, LOOP_CTL_GET_FREE);
        if (number < 0)
            break;
        path = "/dev/loop" + std::to_string(number);
        const int device = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (device < 0)
            break;
        if (ioctl(device, LOOP_SET_FD, backing) == 0)
            device_ = device;
        else
            close(device);
    }
    if (backing >= 0)
        close(backing);
    if (control >= 0)
        close(control);
    if (device_ < 0)
        return "no loop device can be attached here";
    // Detached when the last user lets go, should this process end before its destructor runs.
    loop_info64 info{};
    info.lo_flags = LO_FLAGS_AUTOCLEAR;
    ioctl(device_, LOOP_SET_STATUS64, &info);
    if (mount(path.c_str(), root_.c_str(), "ext4", 0, nullptr) != 0)
        return std::string("ext4 cannot be mounted here: ") + std::strerror(errno);
    mounted_ = true;
    return std::nullopt;
}

void LoopDisk::unmountAndDetach() {
    if (mounted_ && umount2(root_.c_str(), 0) != 0)
        umount2(root_.c_str(), MNT_DETACH);
    mounted_ = false;
    if (device_ >= 0) {
        ioctl(device_, LOOP_CLR_FD, 0);
        close(device_);
        device_ = -1;
    }
}

bool LoopDisk::cutPower() {
    const int fd = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::uint32_t flags = withoutFlushingTheLog;
    const bool cut = fd >= 0 && ioctl(fd, goingDown, &flags) == 0;
    if (fd >= 0)
        close(fd);
    return cut;
}

std::optional<std::string> LoopDisk::mountAgain() {
    unmountAndDetach();
    return attachAndMount();
}

} // namespace dovrane::testing
