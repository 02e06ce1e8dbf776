#pragma once
// The eight coloured groups that the storage graphics fold the sixteen categories into. The
// declaration order is the drawing order everywhere. Main thread only (titles are translated).

#include "Theme/Color.h"

#include <DovraneKit/scan/ScanModel.h>

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace dovrane {

enum class StorageGroup { apps, personal, caches, developer, backups, messages, junk, other };

namespace StorageGroups {

inline constexpr std::array<StorageGroup, 8> all = {
    StorageGroup::apps,    StorageGroup::personal, StorageGroup::caches, StorageGroup::developer,
    StorageGroup::backups, StorageGroup::messages, StorageGroup::junk,   StorageGroup::other};

QString rawValue(StorageGroup group);
QString title(StorageGroup group);
// The title as a window shows it: where the title names two members ("Caches and logs") and a
// Linux home leaves one of them out of the window's lists, the title of the one shown.
QString title(StorageGroup group, const ScanResult& scan, bool linuxHome);
Color color(StorageGroup group);
// The group's colour as the graphics draw it in the look: moved, where it must be, to stand out
// at 3:1 from the window's backgrounds (the yellow of "Mail and Messages" darkens in the light
// look), so that every sector, segment and dot can be seen.
QColor shown(StorageGroup group, Look look);
// The member categories, in their fixed order; no category is in two groups.
const std::vector<CategoryID>& categories(StorageGroup group);
// The group that holds the category; none for snapshots.
std::optional<StorageGroup> of(CategoryID category);
// The colour pages give a category in the look of the moment: its group's as shown, else the
// secondary label colour.
QColor categoryColor(CategoryID category);

// The sum of the members the scan holds, estimated ones left out.
std::int64_t size(StorageGroup group, const ScanResult& scan);
// The tooltip: "Title, size", then one line per member with a size above 0 (estimated ones
// included) with its title, size and explanation, worded for a Linux home where it is one
// (the title as title(group, scan, linuxHome) gives it).
QString help(StorageGroup group, const ScanResult& scan, bool linuxHome);
// The scan's figures and categories without their items: all the graphics draw from, kept by
// each of them without a copy of every measured item.
ScanResult figures(const ScanResult& scan);

} // namespace StorageGroups

// Size text of a byte count, as the kit writes it.
QString byteText(std::int64_t count);

} // namespace dovrane
