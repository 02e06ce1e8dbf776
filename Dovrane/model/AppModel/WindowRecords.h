#pragma once
// What the model holds for its windows: the page of the main window, the one sheet it shows,
// the two requests a sheet asks the user to confirm, and the tab of the Settings window.

#include "Services/Wording.h"

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/apps/Leftovers.h>
#include <DovraneKit/scan/GroundCheck.h>
#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/trash/Trasher.h>

#include <QChar>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace dovrane {

// The pages of the main window, in sidebar order.
enum class SidebarItem { overview, storage, apps, updates, developer, cleaned };
inline constexpr std::array<SidebarItem, 6> allSidebarItems = {SidebarItem::overview,  SidebarItem::storage,
                                                               SidebarItem::apps,      SidebarItem::updates,
                                                               SidebarItem::developer, SidebarItem::cleaned};

QString rawValue(SidebarItem item);
// Exactly a raw value ("cleaned"), letter case included.
std::optional<SidebarItem> sidebarItemFromRaw(const QString& raw);
QString title(SidebarItem item);
// "1" for the first page up to "6" for the last: the page's keyboard shortcut.
QChar shortcut(SidebarItem item);
// The symbol's name ("internaldrive") of the page in the sidebar and the command palette.
QString symbolName(SidebarItem item);

// The tabs of the Settings window, in their order.
enum class SettingsTab { general, scan, appearance };
inline constexpr std::array<SettingsTab, 3> allSettingsTabs = {SettingsTab::general, SettingsTab::scan,
                                                               SettingsTab::appearance};

QString rawValue(SettingsTab tab);
std::optional<SettingsTab> settingsTabFromRaw(const QString& raw);
QString title(SettingsTab tab);
// The symbol's name ("gearshape"); the window maps it to an icon.
QString symbolName(SettingsTab tab);

// How the cleanup sheet lists a plan: each entry named by the first item with its URL (else by
// its last path component), the entries by name in the Finder's order, then by path. Worked out
// where the plan is made, off the main thread, each name keyed once: a sheet of a hundred
// thousand entries opens at once.
struct PlanListing {
    std::vector<std::string> names; // per entry of the plan
    std::vector<std::size_t> order; // the entries' indexes as listed

    static PlanListing of(const std::vector<CleanupItem>& items, const TrashPlan& plan);
    bool lists(const TrashPlan& plan) const {
        return names.size() == plan.entries.size() && order.size() == names.size();
    }
};

// An item left out of a cleanup: what its rating stood on changed after the scan.
struct ChangedItem {
    Url url;
    std::string name;
    GroundCheck::Change change = GroundCheck::Change::replaced;
};

// A move to the Trash waiting for the user's confirmation.
struct CleanupRequest {
    QString title; // the journal entry's title
    std::vector<CleanupItem> items;
    TrashPlan plan;
    Wording wording; // of the title, kept with the journal entry
    PlanListing listing = {};
    std::vector<ChangedItem> changed = {}; // left out of the plan, in the items' order
};

// An app's removal waiting for the user's confirmation.
struct UninstallRequest {
    InstalledApp app;
    std::vector<Leftover> leftovers;
    std::set<std::string> checked; // paths of the ticked leftovers
    bool isRunning = false;
    // The app and each leftover as they were when the sheet was made, by path: what moves on
    // confirmation is what the sheet showed, not another item put at its path since.
    std::map<std::string, FolderDescent::Identity> identities = {};
};

// The one sheet the main window shows. It has no equality: every assignment is news. A cleanup
// request of many thousand items is shared, not copied, by the copies of the sheet.
class ActiveSheet {
public:
    struct Onboarding {};
    struct Palette {};

    static ActiveSheet cleanup(CleanupRequest request) {
        ActiveSheet sheet(Cleanup{});
        sheet.cleanup_ = std::make_shared<const CleanupRequest>(std::move(request));
        return sheet;
    }
    static ActiveSheet uninstall(UninstallRequest request) { return ActiveSheet(std::move(request)); }
    static ActiveSheet onboarding() { return ActiveSheet(Onboarding{}); }
    static ActiveSheet palette() { return ActiveSheet(Palette{}); }

    // "cleanup", "uninstall", "onboarding" or "palette".
    QString id() const;
    const CleanupRequest* cleanupRequest() const { return sharedCleanupRequest().get(); }
    std::shared_ptr<const CleanupRequest> sharedCleanupRequest() const { return cleanup_; }
    const UninstallRequest* uninstallRequest() const { return std::get_if<UninstallRequest>(&content_); }

private:
    struct Cleanup {};
    // Built in place from the one kind: for a whole variant moved in, GCC 12 warns, wrongly, that
    // a request the sheet does not hold may be read unset (-Wmaybe-uninitialized).
    template <class Kind> explicit ActiveSheet(Kind content) : content_(std::in_place_type<Kind>, std::move(content)) {}
    std::variant<Cleanup, UninstallRequest, Onboarding, Palette> content_;
    std::shared_ptr<const CleanupRequest> cleanup_; // with Cleanup alone
};

} // namespace dovrane
