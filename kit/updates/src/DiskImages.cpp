#include "DovraneKit/updates/DiskImages.h"

#include "DovraneKit/system/FileSystem.h"
#include "system/FileTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace dovrane {

namespace {

// 7-Zip asks for a password on the terminal when an image is encrypted; a fixed wrong one makes
// it fail instead of waiting.
const std::string noPassword = "-pdovrane-no-password";

std::string systemError(const std::string& path) { return path + ": " + std::strerror(errno); }

// Every name in the listing stays inside the extraction folder, and the contents fit the cap.
// A block naming the image itself (7-Zip describes nested formats that way) is no entry.
std::optional<Failure> checkListing(const std::string& listing, const std::string& image, std::uint64_t maxTotalBytes) {
    std::uint64_t total = 0;
    std::size_t names = 0;
    std::size_t start = 0;
    while (start < listing.size()) {
        auto end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        std::string_view line(listing.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.starts_with("Path = ")) {
            std::string_view name = line.substr(7);
            if (name == image)
                continue;
            ++names;
            if (name.starts_with("/"))
                return Failure{std::string(name) + ": an absolute name in the image"};
            for (std::size_t from = 0; from <= name.size();) {
                auto slash = name.find('/', from);
                if (slash == std::string_view::npos)
                    slash = name.size();
                if (name.substr(from, slash - from) == "..")
                    return Failure{std::string(name) + ": a name in the image leaves its folder"};
                from = slash + 1;
            }
        } else if (line.starts_with("Size = ")) {
            std::uint64_t size = 0;
            auto digits = line.substr(7);
            if (std::from_chars(digits.data(), digits.data() + digits.size(), size).ec == std::errc())
                total += size;
            if (total > maxTotalBytes)
                return Failure{"the image is larger than allowed"};
        }
    }
    if (names == 0)
        return Failure{"the image lists no contents"};
    return std::nullopt;
}

// Drops every write bit, folders after what they hold; links are left alone.
bool makeReadOnly(const std::string& root, const std::vector<filetree::Entry>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (S_ISLNK(it->info.st_mode))
            continue;
        if (chmod(Path::join(root, it->relative).c_str(), it->info.st_mode & 07555) != 0)
            return false;
    }
    return true;
}

bool writeMarker(const std::string& path) {
    unlink(path.c_str());
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0444);
    return fd >= 0 && close(fd) == 0;
}

} // namespace

namespace DiskImages {

std::optional<std::string> sevenZip() {
    for (const char* candidate : {"/usr/bin/7zz", "/usr/bin/7z"})
        if (Fs::isExecutableFile(candidate))
            return std::string(candidate);
    return std::nullopt;
}

Expected<Done> attach(const std::string& image, const std::string& mountPoint, const CommandRunner& runner,
                      const std::string& sevenZipPath, std::uint64_t maxTotalBytes) {
    struct stat info;
    if (stat(image.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return Failure{image + ": not an image file"};
    if (lstat(mountPoint.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode) || !filetree::isEmptyFolder(mountPoint))
            return Failure{mountPoint + ": the mount point is in use"};
    } else if (errno != ENOENT) {
        return Failure{systemError(mountPoint)};
    }
    std::string name = Path::lastComponent(mountPoint);
    std::string parent = Path::parent(mountPoint);
    if (name.empty() || name == "/" || name == "." || name == ".." || parent.empty())
        return Failure{mountPoint + ": not a usable mount point"};

    auto listing = runner.run(sevenZipPath, {"l", "-slt", "-ba", noPassword, "--", image});
    if (!listing)
        return Failure{image + ": the image cannot be read"};
    if (auto refused = checkListing(*listing, image, maxTotalBytes))
        return *refused;

    Fs::makeDirectories(parent);
    auto staging = Fs::makeUniqueDirectory(parent, "." + name + ".attach-");
    if (!staging)
        return Failure{systemError(parent)};
    auto fail = [&](Failure failure) -> Expected<Done> {
        Fs::removeAll(*staging);
        return failure;
    };
    if (!runner.run(sevenZipPath, {"x", "-y", "-bd", noPassword, "-o" + *staging, "--", image}))
        return fail(Failure{image + ": the image cannot be unpacked"});

    auto entries = filetree::walk(*staging);
    if (!entries)
        return fail(entries.error());
    for (const auto& entry : *entries) {
        mode_t mode = entry.info.st_mode;
        if (!S_ISDIR(mode) && !S_ISREG(mode) && !S_ISLNK(mode))
            return fail(Failure{entry.relative + ": devices, pipes and sockets are not presented"});
    }
    if (!writeMarker(Path::join(*staging, markerName)))
        return fail(Failure{systemError(*staging)});
    // The private folder (0700) becomes a read-only volume.
    if (!makeReadOnly(*staging, *entries) || chmod(staging->c_str(), 0555) != 0)
        return fail(Failure{systemError(*staging)});
    if (rename(staging->c_str(), mountPoint.c_str()) != 0)
        return fail(Failure{systemError(mountPoint)});
    return Done{};
}

Expected<Done> detach(const std::string& mountPoint) {
    struct stat info;
    if (lstat(mountPoint.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Failure{mountPoint + ": nothing is attached there"};
    std::string marker = Path::join(mountPoint, markerName);
    if (lstat(marker.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return Failure{mountPoint + ": not an attached image"};
    if (!Fs::removeAll(mountPoint))
        return Failure{mountPoint + ": the image cannot be removed completely"};
    return Done{};
}

} // namespace DiskImages

} // namespace dovrane
