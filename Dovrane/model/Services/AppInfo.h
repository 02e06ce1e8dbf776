#pragma once
// The application's own information, as a bundle's Info.plist would give it: the short version
// from the project's version, the build number from the build's configuration (absent when none
// was given), and no update feed.

#include <QString>

#include <optional>

namespace dovrane::AppInfo {

// "CFBundleShortVersionString", "CFBundleVersion"; any other key is absent.
std::optional<QString> string(const QString& key);

} // namespace dovrane::AppInfo
