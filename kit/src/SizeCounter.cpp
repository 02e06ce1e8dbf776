#include "DovraneKit/SizeCounter.h"

#include <fts.h>
#include <sys/stat.h>

#include <unordered_set>

namespace dovrane {

namespace {

// A file with more than one hard link, so that it is counted once. dev_t is kept whole: Linux
// device numbers do not fit in 32 bits.
struct FileID {
    dev_t device;
    ino_t inode;
    bool operator==(const FileID&) const = default;
};

struct FileIDHash {
    std::size_t operator()(const FileID& id) const noexcept {
        return std::hash<std::uint64_t>{}(std::uint64_t(id.inode)) * 31 + std::hash<std::uint64_t>{}(std::uint64_t(id.device));
    }
};

constexpr unsigned long cancellationInterval = 4096;

Date newestTime(const struct stat& status) {
    double access = double(status.st_atim.tv_sec) + double(status.st_atim.tv_nsec) / 1e9;
    double modification = double(status.st_mtim.tv_sec) + double(status.st_mtim.tv_nsec) / 1e9;
    return Date::fromUnix(access > modification ? access : modification);
}

} // namespace

Measurement SizeCounter::measure(const Url& url, std::stop_token stop) {
    Measurement result;
    std::string path = url.path();
    if (path.empty() || path.find('\0') != std::string::npos)
        return result;

    char* roots[] = {path.data(), nullptr};
    FTS* walk = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
    if (!walk)
        return result;

    std::unordered_set<FileID, FileIDHash> linked;
    unsigned long entries = 0;
    while (FTSENT* entry = fts_read(walk)) {
        if (++entries % cancellationInterval == 0 && stop.stop_requested())
            break;
        if (entry->fts_info == FTS_NS || entry->fts_info == FTS_NSOK || entry->fts_info == FTS_ERR || !entry->fts_statp)
            continue;
        const struct stat& status = *entry->fts_statp;

        if (entry->fts_info == FTS_F || entry->fts_info == FTS_D) {
            Date newest = newestTime(status);
            if (!result.lastUsed || newest > *result.lastUsed)
                result.lastUsed = newest;
        }
        if (entry->fts_info != FTS_F)
            continue;
        if (status.st_nlink >= 2 && !linked.insert(FileID{status.st_dev, status.st_ino}).second)
            continue;
        result.size += std::int64_t(status.st_blocks) * 512;
        result.files += 1;
    }
    fts_close(walk);
    return result;
}

} // namespace dovrane
