#include "StorageGraphics/StorageGroup.h"

#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

#include <QCoreApplication>

#include <algorithm>

namespace dovrane {

QString byteText(std::int64_t count) { return QString::fromStdString(bytes(count)); }

namespace StorageGroups {

namespace {

struct Row {
    const char* raw;
    const char* title;
    std::vector<CategoryID> members;
    Color color;
    // The title names each member, so it names only those shown.
    bool titleNamesMembers = false;
};

const std::array<Row, 8>& table() {
    using C = CategoryID;
    static const std::array<Row, 8> rows = {{
        {"apps", QT_TRANSLATE_NOOP("StorageGroup", "Apps"), {C::apps}, Color::fixed(0x0072B2)},
        {"personal", QT_TRANSLATE_NOOP("StorageGroup", "Your files"), {C::personal}, Color::fixed(0x56B4E9)},
        {"caches",
         QT_TRANSLATE_NOOP("StorageGroup", "Caches and logs"),
         {C::caches, C::logs},
         Color::fixed(0xE69F00),
         true},
        {"developer",
         QT_TRANSLATE_NOOP("StorageGroup", "Developer"),
         {C::xcode, C::simulators, C::docker, C::packageCaches, C::projects},
         Color::fixed(0x009E73)},
        {"backups", QT_TRANSLATE_NOOP("StorageGroup", "Device backups"), {C::iosBackups}, Color::fixed(0xCC79A7)},
        {"messages",
         QT_TRANSLATE_NOOP("StorageGroup", "Mail and Messages"),
         {C::mailDownloads, C::messages},
         Color::fixed(0xF0E442),
         true},
        {"junk",
         QT_TRANSLATE_NOOP("StorageGroup", "Installers and Trash"),
         {C::installers, C::trash},
         Color::fixed(0xD55E00)},
        {"other", QT_TRANSLATE_NOOP("StorageGroup", "System and the rest"), {C::other}, Color(0xA1A1A8, 0x6E6E76)},
    }};
    return rows;
}

const Row& row(StorageGroup group) { return table()[std::size_t(group)]; }

} // namespace

QString rawValue(StorageGroup group) { return QString::fromLatin1(row(group).raw); }

QString title(StorageGroup group) { return QCoreApplication::translate("StorageGroup", row(group).title); }

QString title(StorageGroup group, const ScanResult& scan, bool linuxHome) {
    const Row& entry = row(group);
    if (!entry.titleNamesMembers)
        return title(group);
    std::vector<CategoryID> shown;
    for (CategoryID id : entry.members)
        if (isShown(id, scan, linuxHome))
            shown.push_back(id);
    return shown.size() == 1 ? QString::fromStdString(Explanations::title(shown.front())) : title(group);
}

Color color(StorageGroup group) { return row(group).color; }

const std::vector<CategoryID>& categories(StorageGroup group) { return row(group).members; }

std::optional<StorageGroup> of(CategoryID category) {
    for (StorageGroup group : all) {
        const auto& members = categories(group);
        if (std::find(members.begin(), members.end(), category) != members.end())
            return group;
    }
    return std::nullopt;
}

QColor shown(StorageGroup group, Look look) {
    return SemanticColors::readable(color(group).resolved(look), look, SemanticColors::graphicContrast);
}

QColor categoryColor(CategoryID category) {
    const Look look = Appearance::shared().look();
    if (auto group = of(category))
        return shown(*group, look);
    return SemanticColors::readable(SemanticColors::of(SemanticColor::secondaryLabel, look), look,
                                    SemanticColors::graphicContrast);
}

std::int64_t size(StorageGroup group, const ScanResult& scan) {
    std::int64_t sum = 0;
    for (CategoryID id : categories(group))
        if (const Category* category = scan.category(id); category && !category->sizeIsEstimate)
            sum += category->size;
    return sum;
}

ScanResult figures(const ScanResult& scan) {
    ScanResult kept{scan.date, scan.volume, scan.total, scan.free, scan.available, {}};
    kept.categories.reserve(scan.categories.size());
    for (const Category& category : scan.categories)
        kept.categories.push_back(Category(category.id, category.size, {}, category.sizeIsEstimate, category.note));
    return kept;
}

QString help(StorageGroup group, const ScanResult& scan, bool linuxHome) {
    QStringList lines;
    for (CategoryID id : categories(group)) {
        const Category* category = scan.category(id);
        if (!category || category->size <= 0)
            continue;
        lines << QStringLiteral("%1: %2. %3")
                     .arg(QString::fromStdString(Explanations::title(id)), byteText(category->size),
                          QString::fromStdString(Explanations::text(id, linuxHome)));
    }
    return QStringLiteral("%1, %2\n").arg(title(group, scan, linuxHome), byteText(size(group, scan))) +
           lines.join(QLatin1Char('\n'));
}

} // namespace StorageGroups

} // namespace dovrane
