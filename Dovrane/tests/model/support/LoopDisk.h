#pragma once
// A disk whose power a test can cut: an ext4 file system on a loop device over a sparse image
// file, mounted in this process's own mount namespace (taken when the disk is made, so the
// process must not have started a thread yet). Cutting the power stops the file system at once
// without flushing its log (EXT4_IOC_SHUTDOWN), so what had not reached the disk never does;
// mounting it again replays its log as a start after a power cut would.

#include "support/TestSupport.h"

#include <memory>
#include <optional>
#include <string>

namespace dovrane::testing {

class LoopDisk {
public:
    // Why a disk cannot be made here (no loop devices, no mkfs.ext4, no right to mount): the
    // reason, said as a test skips; nothing when it can be, and then `made` holds it.
    static std::optional<std::string> make(std::unique_ptr<LoopDisk>& made, int megabytes = 256);
    // Unmounted, detached, and its image removed.
    ~LoopDisk();
    LoopDisk(const LoopDisk&) = delete;
    LoopDisk& operator=(const LoopDisk&) = delete;

    // Where the file system is mounted.
    const std::string& root() const { return root_; }
    // Stops the file system there and then, keeping only what was on the disk; false when the
    // file system refused.
    bool cutPower();
    // Unmounts it, detaches the device and mounts the image again on a fresh one, so that no
    // cache of the old one is read: what the next start after the cut finds. What went wrong.
    std::optional<std::string> mountAgain();

private:
    LoopDisk() = default;
    std::optional<std::string> attachAndMount();
    void unmountAndDetach();

    std::unique_ptr<TempDir> folder_;
    std::string image_, root_;
    int device_ = -1;
    bool mounted_ = false;
};

} // namespace dovrane::testing
