#include "AppModel/WindowRecords.h"

#include <DovraneKit/core/NameOrder.h>

#include <QCoreApplication>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace dovrane {

namespace {

struct SidebarEntry {
    SidebarItem item;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr std::array<SidebarEntry, 6> sidebarEntries = {{
    {SidebarItem::overview, "overview", QT_TRANSLATE_NOOP("SidebarItem", "Overview"),
     "gauge.with.dots.needle.50percent"},
    {SidebarItem::storage, "storage", QT_TRANSLATE_NOOP("SidebarItem", "Storage"), "internaldrive"},
    {SidebarItem::apps, "apps", QT_TRANSLATE_NOOP("SidebarItem", "Apps"), "square.grid.2x2"},
    {SidebarItem::updates, "updates", QT_TRANSLATE_NOOP("SidebarItem", "Updates"), "arrow.down.circle"},
    {SidebarItem::developer, "developer", QT_TRANSLATE_NOOP("SidebarItem", "Developer"), "hammer"},
    {SidebarItem::cleaned, "cleaned", QT_TRANSLATE_NOOP("SidebarItem", "Cleaned Up"), "arrow.uturn.backward.circle"},
}};

struct TabEntry {
    SettingsTab tab;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr std::array<TabEntry, 3> tabEntries = {{
    {SettingsTab::general, "general", QT_TRANSLATE_NOOP("SettingsTab", "General"), "gearshape"},
    {SettingsTab::scan, "scan", QT_TRANSLATE_NOOP("SettingsTab", "Scan"), "internaldrive"},
    {SettingsTab::appearance, "appearance", QT_TRANSLATE_NOOP("SettingsTab", "Appearance"), "paintpalette"},
}};

const SidebarEntry& entry(SidebarItem item) { return sidebarEntries[size_t(item)]; }
const TabEntry& entry(SettingsTab tab) { return tabEntries[size_t(tab)]; }

} // namespace

QString rawValue(SidebarItem item) { return QString::fromLatin1(entry(item).raw); }

std::optional<SidebarItem> sidebarItemFromRaw(const QString& raw) {
    for (const SidebarEntry& candidate : sidebarEntries)
        if (raw == QLatin1String(candidate.raw))
            return candidate.item;
    return std::nullopt;
}

QString title(SidebarItem item) { return QCoreApplication::translate("SidebarItem", entry(item).title); }

QChar shortcut(SidebarItem item) { return QChar(u'1' + char16_t(item)); }

QString symbolName(SidebarItem item) { return QString::fromLatin1(entry(item).symbol); }

QString rawValue(SettingsTab tab) { return QString::fromLatin1(entry(tab).raw); }

std::optional<SettingsTab> settingsTabFromRaw(const QString& raw) {
    for (const TabEntry& candidate : tabEntries)
        if (raw == QLatin1String(candidate.raw))
            return candidate.tab;
    return std::nullopt;
}

QString title(SettingsTab tab) { return QCoreApplication::translate("SettingsTab", entry(tab).title); }

QString symbolName(SettingsTab tab) { return QString::fromLatin1(entry(tab).symbol); }

QString ActiveSheet::id() const {
    static const std::array<const char*, 4> ids = {"cleanup", "uninstall", "onboarding", "palette"};
    return QString::fromLatin1(ids[content_.index()]);
}

PlanListing PlanListing::of(const std::vector<CleanupItem>& items, const TrashPlan& plan) {
    PlanListing listing;
    std::unordered_map<std::string_view, const CleanupItem*> firstItem;
    firstItem.reserve(items.size());
    for (const CleanupItem& item : items)
        firstItem.try_emplace(item.url.text(), &item);
    listing.names.reserve(plan.entries.size());
    for (const TrashPlan::Entry& entry : plan.entries) {
        const auto found = firstItem.find(entry.url.text());
        listing.names.push_back(found != firstItem.end() ? found->second->name : entry.url.lastPathComponent());
    }
    std::vector<std::string> keys;
    keys.reserve(plan.entries.size());
    const NameOrder order;
    for (std::size_t entry = 0; entry < plan.entries.size(); ++entry)
        keys.push_back(order.tieKey(listing.names[entry], plan.entries[entry].url.path()));
    listing.order.resize(plan.entries.size());
    std::iota(listing.order.begin(), listing.order.end(), std::size_t(0));
    std::sort(listing.order.begin(), listing.order.end(),
              [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return listing;
}

} // namespace dovrane
