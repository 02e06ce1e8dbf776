#pragma once
// The records of one measurement of the disk: categories, items, safety, actions and the
// whole scan result with the figures derived from it.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/FolderDescent.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

// Declaration order is the fixed display and sort order of the whole system.
enum class CategoryID {
    apps,
    personal,
    caches,
    logs,
    trash,
    installers,
    mailDownloads,
    messages,
    iosBackups,
    snapshots,
    xcode,
    simulators,
    docker,
    packageCaches,
    projects,
    other
};
inline constexpr std::array<CategoryID, 16> allCategoryIDs = {
    CategoryID::apps,       CategoryID::personal,      CategoryID::caches,        CategoryID::logs,
    CategoryID::trash,      CategoryID::installers,    CategoryID::mailDownloads, CategoryID::messages,
    CategoryID::iosBackups, CategoryID::snapshots,     CategoryID::xcode,         CategoryID::simulators,
    CategoryID::docker,     CategoryID::packageCaches, CategoryID::projects,      CategoryID::other};

std::string_view rawValue(CategoryID id);
std::optional<CategoryID> categoryIDFromRaw(std::string_view raw);
int position(CategoryID id);
bool isSystemData(CategoryID id);
bool isDeveloper(CategoryID id);
// Fed only by folders and tools a Mac has (Logs, Mail, Messages, device backups, Time Machine,
// Xcode, simulators): a Linux home has nothing of theirs unless it keeps a Mac's folders.
bool isMacOnly(CategoryID id);

// Ordered: safe < review < keep.
enum class Safety { safe, review, keep };
inline constexpr std::array<Safety, 3> allSafeties = {Safety::safe, Safety::review, Safety::keep};
std::string_view rawValue(Safety safety);
std::optional<Safety> safetyFromRaw(std::string_view raw);

enum class CleanupAction { trash, emptyTrash, deleteSnapshot, showOnly };
std::string_view rawValue(CleanupAction action);
std::optional<CleanupAction> cleanupActionFromRaw(std::string_view raw);

struct CleanupItem {
    Url url;
    std::string name;
    std::int64_t size = 0;
    std::int64_t fileCount = 0;
    std::optional<Date> lastUsed;
    std::string reason;
    std::string source;
    Safety safety = Safety::keep;
    CleanupAction action = CleanupAction::showOnly;

    // What the rating was measured on, looked at again before a move (GroundCheck): the item as
    // the file system knew it and its owner. Absent where the disk was not looked at (a scan
    // file written before it was kept, demo data, leftovers).
    struct Ground {
        FolderDescent::Identity identity;
        std::uint32_t owner = 0;

        bool operator==(const Ground&) const = default;
    };
    std::optional<Ground> ground = std::nullopt;

    CleanupItem() = default;
    // An absent name becomes the last path component of url.
    CleanupItem(Url url, std::optional<std::string> name, std::int64_t size, std::int64_t fileCount,
                std::optional<Date> lastUsed, std::string reason, std::string source, Safety safety,
                CleanupAction action);

    // Identity in lists and selections: the path of url.
    std::string id() const { return url.path(); }

    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<CleanupItem> fromJson(const nlohmann::json& json);

    bool operator==(const CleanupItem&) const = default;
};

struct Category {
    CategoryID id = CategoryID::other;
    std::int64_t size = 0;
    std::vector<CleanupItem> items;
    bool sizeIsEstimate = false;
    std::optional<std::string> note;

    Category() = default;
    // An absent size is the sum of the items' sizes.
    explicit Category(CategoryID id, std::optional<std::int64_t> size = std::nullopt,
                      std::vector<CleanupItem> items = {}, bool sizeIsEstimate = false,
                      std::optional<std::string> note = std::nullopt);

    std::string title() const;
    std::string explanation() const;
    Safety safety() const;
    // Items rated safe whose action is trash.
    std::int64_t safeSize() const;
    // Nothing measured, listed, estimated or noted.
    bool holdsNothing() const { return size == 0 && items.empty() && !sizeIsEstimate && !note; }
    // A last use after `when` (a file dated ahead of the clock) counts as `when`: nothing was used
    // after the scan that saw it. A snapshot keeps the date it was taken.
    void capLastUse(Date when);

    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<Category> fromJson(const nlohmann::json& json);

    bool operator==(const Category&) const = default;
};

// The item that stands for the user's Trash folder `files` in the trash category.
CleanupItem trashFolderItem(const Url& files, std::int64_t size, std::int64_t fileCount,
                            std::optional<Date> lastUsed = std::nullopt);

struct ScanResult {
    Date date;
    std::string volume;
    std::int64_t total = 0;
    std::int64_t free = 0;
    std::int64_t available = 0;
    std::vector<Category> categories;

    std::int64_t purgeable() const; // max(0, free - available)
    std::int64_t used() const;      // max(0, total - free)
    const Category* category(CategoryID id) const;
    std::vector<CleanupItem> safeItems(bool includingDeveloper = true) const;
    std::int64_t safeTotal() const;
    // Replaces any "other" category by one holding the used space no measured category
    // explains; estimated categories never reduce it.
    void computeOther();
    // Counts what was just moved into the user's Trash folder `files` in the trash category, so
    // that it is not taken for unexplained space until a scan measures the folder itself: the
    // category's Trash item grows, or is made when the Trash was empty. Call computeOther after.
    void countMovedToTrash(const Url& files, std::int64_t size, std::int64_t fileCount);
    // Category case name to size; a repeated id adds up.
    std::map<std::string, std::int64_t> sizesByCategory() const;
    // Every category's capLastUse at the scan's date, for a scan saved before that held.
    void capLastUse();

    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<ScanResult> fromJson(const nlohmann::json& json);
    // The bytes of toJson().dump(), written straight from the records. Throws what the JSON
    // writer throws.
    std::string toJsonText() const;
    // What Json::read followed by fromJson accepts, read in one pass straight into the records:
    // the same grammar, nesting limit and checks of every field.
    [[nodiscard]] static Expected<ScanResult> fromJsonText(std::string_view text);

    bool operator==(const ScanResult&) const = default;
};

// Whether the window lists the category: always on a Mac-style home; on a Linux home a
// macOS-only category only while the scan holds something of it.
bool isShown(CategoryID id, const ScanResult& scan, bool linuxHome);

// A byte count as the user reads it: decimal units, "Zero KB", "1 byte", "999 bytes",
// "1 KB", "1.5 MB", "24.1 GB"; German with a decimal comma.
std::string bytes(std::int64_t count);

} // namespace dovrane
