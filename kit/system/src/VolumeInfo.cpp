#include "DovraneKit/system/VolumeInfo.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"
#include "core/Ascii.h"
#include "core/Catalogue.h"
#include "system/VolumeLabel.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace dovrane {

namespace volumelabel {

namespace {

// The mount table writes space, tab, newline and backslash as "\ooo".
std::string decodeOctal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            std::string_view digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos) {
                out.push_back(char((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// udev writes unsafe bytes of a label as "\xHH".
std::string decodeHex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            int high = ascii::hexValue(text[i + 2]), low = ascii::hexValue(text[i + 3]);
            if (high >= 0 && low >= 0) {
                out.push_back(char(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// The source device of the mount whose device number is `device`.
std::optional<std::string> mountSource(dev_t device, const std::string& mountInfoPath) {
    auto table = Fs::readFile(mountInfoPath, 16u << 20);
    if (!table)
        return std::nullopt;
    std::string_view rest = *table;
    while (!rest.empty()) {
        std::size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);

        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        auto parts = splitDroppingEmpty(line, ' ');
        if (parts.size() < 7)
            continue;
        unsigned major = 0, minor = 0;
        if (std::sscanf(std::string(parts[2]).c_str(), "%u:%u", &major, &minor) != 2 || makedev(major, minor) != device)
            continue;
        for (std::size_t i = 6; i + 2 < parts.size(); ++i)
            if (parts[i] == "-")
                return decodeOctal(parts[i + 2]);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> find(dev_t device, const std::string& mountInfoPath, const std::string& labelFolder) {
    auto source = mountSource(device, mountInfoPath);
    std::optional<std::string> realSource = source ? Fs::realPath(*source) : std::nullopt;
    for (const std::string& name : Fs::list(labelFolder)) {
        std::string entry = Path::join(labelFolder, name);
        struct stat status;
        bool same = stat(entry.c_str(), &status) == 0 && S_ISBLK(status.st_mode) && status.st_rdev == device;
        if (!same && realSource)
            same = Fs::realPath(entry) == realSource;
        if (same)
            return decodeHex(name);
    }
    return std::nullopt;
}

} // namespace volumelabel

std::optional<VolumeInfo> VolumeInfo::read(const Url& url) {
    std::string path = url.path();
    struct statvfs figures;
    if (path.empty() || path.find('\0') != std::string::npos || statvfs(path.c_str(), &figures) != 0)
        return std::nullopt;

    VolumeInfo info;
    info.total = std::int64_t(figures.f_blocks) * std::int64_t(figures.f_frsize);
    // f_bavail, not f_bfree: root's reserve is no space this user can have back.
    info.available = std::int64_t(figures.f_bavail) * std::int64_t(figures.f_frsize);
    info.free = info.available;

    struct stat status;
    std::optional<std::string> label;
    if (stat(path.c_str(), &status) == 0)
        label = volumelabel::find(status.st_dev);
    info.name = label && !label->empty() ? *label : unlabeledName();
    return info;
}

std::string VolumeInfo::unlabeledName() { return L("This computer"); }

std::string VolumeInfo::shownName(std::string_view stored) {
    const std::optional<std::string_view> german = catalogue::german("This computer");
    if (stored == "This computer" || (german && stored == *german))
        return unlabeledName();
    return std::string(stored);
}

std::int64_t VolumeInfo::purgeable(std::int64_t important, std::int64_t available) {
    return important > available ? important - available : 0;
}

} // namespace dovrane
