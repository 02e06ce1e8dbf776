#pragma once
// The installed apps: the ".app" bundles directly inside a few folders, each read from its
// Info.plist into an InstalledApp, and the AppImages beside them (Linux's single-file apps). Metadata only; nothing is
// measured (size stays 0) and nothing is changed.

#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Url.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

struct AppInventory {
    std::vector<Url> folders;   // listed one level deep, in this order
    std::vector<Url> caskrooms; // Homebrew cask folders, in this order

    // No folder list means "/Applications", "/Applications/Utilities", home/Applications and
    // home/.local/bin (where AppImages are kept);
    // a given list, even an empty one, is used as it is.
    AppInventory(const Url& home, std::optional<std::vector<Url>> folders, std::vector<Url> caskrooms);

    // Every app of the folders, once each (the first folder that reaches a bundle, through a
    // link or not, names it), in the Finder's order of names; equal names keep their order.
    std::vector<InstalledApp> list() const;

    // One bundle; absent without a non-empty CFBundleIdentifier. casks maps bundle file names
    // ("Foo.app") to cask tokens; an empty map never makes an app a Homebrew one.
    std::optional<InstalledApp> read(const Url& bundle, const std::map<std::string, std::string>& casks) const;

    // Bundle file name to cask token, from the caskrooms' metadata; later caskrooms and later
    // tokens win.
    std::map<std::string, std::string> caskMap() const;

    // The developer team of the bundle's code signature; absent when unsigned, ad hoc or not
    // signed by a key trusted for the team.
    static std::optional<std::string> teamID(const Url& bundle);

    // When the app was last used. Linux keeps no such date for applications (no Spotlight
    // store and no launch records we could trust), so this is always absent; access times
    // are not used because any scan or backup touches them.
    static std::optional<Date> lastUsed(const Url& bundle);

    bool operator==(const AppInventory&) const = default;
};

} // namespace dovrane
