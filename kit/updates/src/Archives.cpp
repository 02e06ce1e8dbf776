#include "DovraneKit/updates/Archives.h"

#include "DovraneKit/system/FileSystem.h"
#include "system/FileTree.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace dovrane {

namespace {

using ReadArchive = std::unique_ptr<archive, int (*)(archive*)>;
using EntryPtr = std::unique_ptr<archive_entry, void (*)(archive_entry*)>;

std::string errorOf(archive* a, const std::string& fallback) {
    const char* text = archive_error_string(a);
    return text && *text ? std::string(text) : fallback;
}

std::string systemError(const std::string& path) { return path + ": " + std::strerror(errno); }

// The entry's name with "." and empty components dropped; nothing for an absolute name or one
// that climbs with "..". An empty result names the top of the archive.
std::optional<std::string> safeName(const char* raw) {
    if (!raw || !*raw || raw[0] == '/')
        return std::nullopt;
    std::string name(raw), clean;
    std::size_t start = 0;
    while (start <= name.size()) {
        auto slash = name.find('/', start);
        if (slash == std::string::npos)
            slash = name.size();
        std::string part = name.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return std::nullopt;
        if (!clean.empty())
            clean.push_back('/');
        clean += part;
    }
    return clean;
}

// A destination to fill: an empty folder that exists, or a new one. Tells whether it was made.
Expected<bool> prepareFreshFolder(const std::string& destination) {
    struct stat info;
    if (lstat(destination.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            return Failure{destination + ": exists and is not a folder"};
        if (!filetree::isEmptyFolder(destination))
            return Failure{destination + ": the folder is not empty"};
        return false;
    }
    if (errno != ENOENT)
        return Failure{systemError(destination)};
    Fs::makeDirectories(Path::parent(destination));
    if (mkdir(destination.c_str(), 0755) != 0)
        return Failure{systemError(destination)};
    return true;
}

void discard(const std::string& destination, bool made) {
    if (made)
        Fs::removeAll(destination);
    else
        filetree::removeContents(destination);
}

class Extraction {
public:
    Extraction(std::string root, ExtractLimits limits)
        : root_(std::move(root)), limits_(limits), reader_(archive_read_new(), archive_read_free),
          writer_(archive_write_disk_new(), archive_write_free) {}

    Expected<ExtractSummary> run(const std::string& archivePath) {
        if (!reader_ || !writer_)
            return Failure{"the archive library cannot start"};
        archive_read_support_filter_all(reader_.get());
        archive_read_support_format_tar(reader_.get());
        archive_read_support_format_gnutar(reader_.get());
        archive_read_support_format_zip(reader_.get());
        archive_write_disk_set_options(writer_.get(),
                                       ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                           ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_NO_OVERWRITE);
        if (archive_read_open_filename(reader_.get(), archivePath.c_str(), 1 << 16) != ARCHIVE_OK)
            return Failure{archivePath + ": " + errorOf(reader_.get(), "the archive cannot be opened")};
        for (;;) {
            archive_entry* entry = nullptr;
            int status = archive_read_next_header(reader_.get(), &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                return Failure{archivePath + ": " + errorOf(reader_.get(), "the archive is damaged")};
            if (++summary_.entries > limits_.maxEntries)
                return Failure{archivePath + ": the archive holds too many entries"};
            if (auto refused = write(entry))
                return *refused;
        }
        if (archive_write_close(writer_.get()) != ARCHIVE_OK)
            return Failure{errorOf(writer_.get(), "the extracted files cannot be finished")};
        return summary_;
    }

private:
    std::optional<Failure> write(archive_entry* entry) {
        const char* raw = archive_entry_pathname(entry);
        std::string shown = raw ? raw : "(no name)";
        auto name = safeName(raw);
        if (!name)
            return Failure{shown + ": the name leaves the destination folder"};
        const mode_t type = archive_entry_filetype(entry);
        const char* hardlink = archive_entry_hardlink(entry);
        if (!hardlink && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
            return Failure{shown + ": devices, pipes and sockets are not extracted"};
        if (name->empty()) {
            if (type == AE_IFDIR && !hardlink)
                return std::nullopt; // the archive's own top folder: the destination itself
            return Failure{shown + ": the entry has no name"};
        }
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0 &&
            std::uint64_t(archive_entry_size(entry)) > limits_.maxTotalBytes - summary_.bytes)
            return Failure{shown + ": the archive is larger than allowed"};

        archive_entry_copy_pathname(entry, Path::join(root_, *name).c_str());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 01777);
        if (hardlink) {
            auto target = safeName(hardlink);
            if (!target || target->empty() || !insideRootAsFile(*target))
                return Failure{shown + ": the hard link points outside the archive's files"};
            archive_entry_copy_hardlink(entry, Path::join(root_, *target).c_str());
        }
        if (archive_write_header(writer_.get(), entry) < ARCHIVE_WARN)
            return Failure{shown + ": " + errorOf(writer_.get(), "cannot be written")};

        const void* buffer = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            int status = archive_read_data_block(reader_.get(), &buffer, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                return Failure{shown + ": " + errorOf(reader_.get(), "the data is damaged")};
            summary_.bytes += size;
            if (summary_.bytes > limits_.maxTotalBytes || offset < 0 ||
                std::uint64_t(offset) + size > limits_.maxTotalBytes)
                return Failure{shown + ": the archive is larger than allowed"};
            if (archive_write_data_block(writer_.get(), buffer, size, offset) < ARCHIVE_WARN)
                return Failure{shown + ": " + errorOf(writer_.get(), "cannot be written")};
        }
        if (archive_write_finish_entry(writer_.get()) < ARCHIVE_WARN)
            return Failure{shown + ": " + errorOf(writer_.get(), "cannot be written")};
        return std::nullopt;
    }

    // A hard link may only join a file extracted before, reached without any symbolic link.
    bool insideRootAsFile(const std::string& relative) const {
        std::string path = Path::join(root_, relative);
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        auto parent = Fs::realPath(Path::parent(path));
        return parent && *parent == Path::parent(path);
    }

    std::string root_;
    ExtractLimits limits_;
    ReadArchive reader_;
    ReadArchive writer_;
    ExtractSummary summary_;
};

class ZipWriter {
public:
    ZipWriter() : writer_(archive_write_new(), archive_write_free) {}

    std::optional<Failure> open(int fd) {
        if (!writer_ || archive_write_set_format_zip(writer_.get()) != ARCHIVE_OK ||
            archive_write_zip_set_compression_deflate(writer_.get()) != ARCHIVE_OK ||
            archive_write_open_fd(writer_.get(), fd) != ARCHIVE_OK)
            return Failure{errorOf(writer_.get(), "the zip archive cannot be started")};
        return std::nullopt;
    }

    std::optional<Failure> add(const std::string& path, const std::string& name, const struct stat& info) {
        EntryPtr entry(archive_entry_new(), archive_entry_free);
        archive_entry_copy_stat(entry.get(), &info);
        archive_entry_copy_pathname(entry.get(), name.c_str());
        int fd = -1;
        if (S_ISLNK(info.st_mode)) {
            auto target = Fs::linkTarget(path);
            if (!target)
                return Failure{systemError(path)};
            archive_entry_set_size(entry.get(), 0);
            archive_entry_copy_symlink(entry.get(), target->c_str());
        } else if (S_ISDIR(info.st_mode)) {
            archive_entry_set_size(entry.get(), 0);
        } else if (S_ISREG(info.st_mode)) {
            fd = filetree::openRegularFile(path, info);
            if (fd < 0)
                return Failure{systemError(path)};
        } else {
            return Failure{path + ": neither a file, a folder nor a symbolic link"};
        }
        struct Closer {
            int fd;
            ~Closer() {
                if (fd >= 0)
                    ::close(fd);
            }
        } closer{fd};
        if (archive_write_header(writer_.get(), entry.get()) < ARCHIVE_WARN)
            return Failure{name + ": " + errorOf(writer_.get(), "cannot be archived")};
        if (fd < 0)
            return std::nullopt;
        std::string buffer(1 << 16, '\0');
        std::int64_t remaining = info.st_size;
        while (remaining > 0) {
            ssize_t n = read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Failure{path + ": the file changed while it was archived"};
            n = std::min<ssize_t>(n, remaining);
            if (archive_write_data(writer_.get(), buffer.data(), std::size_t(n)) != n)
                return Failure{name + ": " + errorOf(writer_.get(), "cannot be archived")};
            remaining -= n;
        }
        return std::nullopt;
    }

    std::optional<Failure> close() {
        if (archive_write_close(writer_.get()) != ARCHIVE_OK)
            return Failure{errorOf(writer_.get(), "the zip archive cannot be finished")};
        return std::nullopt;
    }

private:
    ReadArchive writer_;
};

std::optional<Failure> setTimes(const std::string& path, const struct stat& info) {
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return Failure{systemError(path)};
    return std::nullopt;
}

std::optional<Failure> copyFile(const std::string& source, const std::string& destination, const struct stat& info) {
    int in = filetree::openRegularFile(source, info);
    if (in < 0)
        return Failure{systemError(source)};
    int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        auto failure = Failure{systemError(destination)};
        close(in);
        return failure;
    }
    std::optional<Failure> failure;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failure = Failure{systemError(source)};
            break;
        }
        if (n == 0)
            break;
        for (ssize_t written = 0; written < n;) {
            ssize_t w = write(out, buffer.data() + written, std::size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                failure = Failure{systemError(destination)};
                break;
            }
            written += w;
        }
        if (failure)
            break;
    }
    if (!failure && fchmod(out, info.st_mode & 07777) != 0)
        failure = Failure{systemError(destination)};
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (!failure && futimens(out, times) != 0)
        failure = Failure{systemError(destination)};
    close(in);
    if (close(out) != 0 && !failure)
        failure = Failure{systemError(destination)};
    return failure;
}

std::optional<Failure> copyItem(const std::string& source, const std::string& destination, const struct stat& info,
                                bool folderExists) {
    if (S_ISREG(info.st_mode))
        return copyFile(source, destination, info);
    if (S_ISLNK(info.st_mode)) {
        auto target = Fs::linkTarget(source);
        if (!target || symlink(target->c_str(), destination.c_str()) != 0)
            return Failure{systemError(destination)};
        return setTimes(destination, info);
    }
    if (!S_ISDIR(info.st_mode))
        return Failure{source + ": neither a file, a folder nor a symbolic link"};
    if (!folderExists && mkdir(destination.c_str(), 0700) != 0)
        return Failure{systemError(destination)};
    auto children = filetree::names(source);
    if (!children)
        return Failure{source + ": the folder cannot be read"};
    for (const auto& name : *children) {
        std::string from = Path::join(source, name);
        struct stat child;
        if (lstat(from.c_str(), &child) != 0)
            return Failure{systemError(from)};
        if (auto failure = copyItem(from, Path::join(destination, name), child, false))
            return failure;
    }
    // The folder's own mode last, so a read-only folder could still be filled. The owner keeps
    // full rights to a copied folder: one without write permission cannot be moved to another
    // folder (the Trash) or emptied later, and a read-only image must not make its copies so.
    if (chmod(destination.c_str(), (info.st_mode & 07777) | 0700) != 0)
        return Failure{systemError(destination)};
    return setTimes(destination, info);
}

} // namespace

namespace Archives {

Expected<ExtractSummary> extract(const std::string& archive, const std::string& destination, ExtractLimits limits) {
    auto made = prepareFreshFolder(destination);
    if (!made)
        return made.error();
    // Work below the real path: the secure-symlink check refuses any link in the path,
    // including one in the destination's own parents (such as a linked temporary folder).
    auto root = Fs::realPath(destination);
    if (!root) {
        discard(destination, *made);
        return Failure{systemError(destination)};
    }
    Extraction extraction(*root, limits);
    auto result = extraction.run(archive);
    if (!result)
        discard(destination, *made);
    return result;
}

Expected<Done> createZip(const std::string& source, const std::string& zipPath) {
    struct stat info;
    if (lstat(source.c_str(), &info) != 0)
        return Failure{systemError(source)};
    std::string top = Path::lastComponent(source);
    if (top.empty() || top == "/" || top == "." || top == "..")
        return Failure{source + ": has no name to keep as the top entry"};

    std::string temporary = zipPath + ".tmp-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return Failure{systemError(zipPath)};
    fchmod(fd, 0644);
    auto fail = [&](Failure failure) -> Expected<Done> {
        close(fd);
        unlink(temporary.c_str());
        return failure;
    };

    ZipWriter zip;
    if (auto failure = zip.open(fd))
        return fail(*failure);
    if (auto failure = zip.add(source, top, info))
        return fail(*failure);
    if (S_ISDIR(info.st_mode)) {
        auto entries = filetree::walk(source);
        if (!entries)
            return fail(entries.error());
        for (const auto& entry : *entries)
            if (auto failure = zip.add(Path::join(source, entry.relative), top + "/" + entry.relative, entry.info))
                return fail(*failure);
    }
    if (auto failure = zip.close())
        return fail(*failure);
    if (fsync(fd) != 0 || close(fd) != 0) {
        unlink(temporary.c_str());
        return Failure{systemError(zipPath)};
    }
    if (rename(temporary.c_str(), zipPath.c_str()) != 0) {
        auto failure = Failure{systemError(zipPath)};
        unlink(temporary.c_str());
        return failure;
    }
    return Done{};
}

Expected<Done> copy(const std::string& source, const std::string& destination) {
    struct stat info;
    if (lstat(source.c_str(), &info) != 0)
        return Failure{systemError(source)};
    bool folderExists = false;
    struct stat existing;
    if (lstat(destination.c_str(), &existing) == 0) {
        if (!S_ISDIR(info.st_mode) || !S_ISDIR(existing.st_mode) || !filetree::isEmptyFolder(destination))
            return Failure{destination + ": exists already"};
        folderExists = true;
    } else if (errno != ENOENT) {
        return Failure{systemError(destination)};
    } else {
        Fs::makeDirectories(Path::parent(destination));
    }
    if (S_ISDIR(info.st_mode)) {
        auto from = Fs::realPath(source);
        auto into = Fs::realPath(folderExists ? destination : Path::parent(destination));
        if (!from || !into)
            return Failure{systemError(destination)};
        if (*into == *from || into->starts_with(*from + "/"))
            return Failure{destination + ": lies inside the folder being copied"};
    }
    if (auto failure = copyItem(source, destination, info, folderExists)) {
        discard(destination, !folderExists);
        return *failure;
    }
    return Done{};
}

} // namespace Archives

} // namespace dovrane
