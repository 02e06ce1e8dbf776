#pragma once
// What a bundle such as an ".app" folder says about itself: its Contents/Info.plist. Safe to
// call from several threads at once.

#include "DovraneKit/core/Url.h"
#include "DovraneKit/formats/Plist.h"

#include <optional>

namespace dovrane {

struct BundleInfo {
    // Its top-level dictionary; absent when missing, unreadable or not a dictionary.
    static std::optional<PlistDict> read(const Url& bundle);
};

} // namespace dovrane
