#pragma once
// AppImages: single-file apps the user owns, read from their embedded desktop entry and
// AppStream metainfo. An AppImage is never executed or mounted; its payload is read in place.

#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/core/Url.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane::AppImages {

// Whether a file name ends in ".AppImage", in any letter case.
bool hasAppImageName(std::string_view fileName);
// Whether the file at path is a type-2 AppImage: a regular file that starts as an ELF program
// with "AI" and 2 at offset 8. A file that only has the name is no app.
bool isAppImage(const std::string& path);

// What the file name says when the payload says nothing: "Krita-5.2.2-x86_64.AppImage" is
// Krita, version 5.2.2.
struct FileNameParts {
    std::string name;
    std::optional<std::string> version;
};
FileNameParts fileNameParts(std::string_view fileName);

// The AppStream component's id, untranslated name and newest release version.
struct Metainfo {
    std::optional<std::string> id;
    std::optional<std::string> name;
    std::optional<std::string> newestRelease;
};
Metainfo metainfo(std::string_view xml);

// The files of the payload that describe the app, each bounded in size; absent parts were
// missing, too large or unreadable.
struct Payload {
    std::optional<std::string> desktopFileName; // "org.example.Tool.desktop"
    std::optional<std::string> desktopEntry;
    std::optional<std::string> metainfo;
};
// Absent when the file is no type-2 AppImage or its payload cannot be read.
std::optional<Payload> payload(const std::string& path);

// The largest description (desktop entry, metainfo) and icon file read from a payload; a
// larger one reads as none.
inline constexpr std::size_t maximumTextSize = 512u << 10;
inline constexpr std::size_t maximumIconSize = 4u << 20;

// The bytes of the app's icon (.DirIcon, else the PNG or SVG the desktop entry's Icon names),
// at most maximumIconSize; absent when there is none or the payload cannot be read. No more
// than two pictures of the payload are read, whatever else it holds.
std::optional<std::string> icon(const std::string& path);

// The app record of the AppImage at file. Never fails: a damaged file is an app named after
// its file, version "?" and no identifier. Source unknown, size 0 (measured by the caller).
InstalledApp read(const Url& file);

} // namespace dovrane::AppImages
