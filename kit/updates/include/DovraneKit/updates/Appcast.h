#pragma once
// Update feeds in the appcast format (RSS with "sparkle:" elements): the items of a feed and the
// one item that is a usable update for this system. Their notes are ReleaseNotes' to read.

#include "DovraneKit/apps/AppVersion.h"
#include "DovraneKit/core/Url.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

struct OperatingSystemVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;

    bool operator==(const OperatingSystemVersion&) const = default;
};

struct AppcastItem {
    std::optional<std::string> title;
    std::optional<std::string> version;      // machine-readable build version
    std::optional<std::string> shortVersion; // the version shown to people
    std::optional<std::string> minimumSystemVersion;
    std::optional<std::string> channel;
    std::optional<std::string> description; // often HTML release notes
    std::optional<Url> releaseNotesURL;     // http or https only
    std::optional<Url> url;                 // the download; http or https only
    std::optional<std::int64_t> length;
    std::optional<std::string> edSignature;
    bool informationalOnly = false;
    std::optional<std::string> os;

    // shortVersion, else version, else title.
    std::optional<std::string> displayVersion() const;
    // version, else shortVersion.
    std::optional<std::string> compareVersion() const;

    bool operator==(const AppcastItem&) const = default;
};

namespace AppcastParser {

// Feeds beyond this size are not read at all.
inline constexpr std::size_t maxFeedBytes = std::size_t(16) << 20;

// The items of a feed in document order. A document that is not well-formed gives the items
// finished before the error; one that declares entities is not read past the declaration.
std::vector<AppcastItem> items(std::string_view bytes);

// The newest item that can be installed on this system, in a release channel; absent when none.
std::optional<AppcastItem> best(const std::vector<AppcastItem>& items, OperatingSystemVersion osVersion);

} // namespace AppcastParser

} // namespace dovrane
