#include "StoragePage/CategoryItemsModel.h"

#include "AppModel/AppModel.h"
#include "StorageGraphics/SafetyBadge.h"
#include "StoragePage/CategoryDetail.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

namespace dovrane {

namespace {
const QString dash = Texts::unknown();
} // namespace

Date lastUsedSort(const CleanupItem& item) { return item.lastUsed.value_or(Date::distantPast()); }

CategoryItemsModel::CategoryItemsModel(const AppModel& model, QObject* parent)
    : SortedTableModel<CleanupItem>(columns(model), sizeColumn, Qt::DescendingOrder, parent) {
    setTieBreak(SortKeys::byNameThenPath<CleanupItem>(&CleanupItem::name,
                                                      [](const CleanupItem& item) { return item.url.path(); }));
}

void CategoryItemsModel::setCategory(CategoryID id, std::vector<CleanupItem> items) {
    category_ = id;
    setRows(std::move(items));
}

Safety CategoryItemsModel::shownSafety(const CleanupItem& item) {
    return item.action == CleanupAction::showOnly && item.safety == Safety::safe ? Safety::review : item.safety;
}

std::vector<CategoryItemsModel::Column> CategoryItemsModel::columns(const AppModel& model) {
    using Row = CleanupItem;
    std::vector<Column> columns;
    columns.push_back(
        {CategoryDetail::tr("Name"), SortKeys::byName<Row>(&Row::name), [](const Row& item, int role) -> QVariant {
             if (role == Qt::DisplayRole)
                 return Texts::oneLine(QString::fromStdString(item.name));
             if (role == Qt::ToolTipRole)
                 return Texts::tooltip(QString::fromStdString(item.reason) + QLatin1Char('\n') +
                                       QString::fromStdString(item.url.path()));
             return {};
         }});
    columns.push_back(
        {CategoryDetail::tr("Size"), SortKeys::byValue<Row>(&Row::size), [this](const Row& item, int role) -> QVariant {
             if (role == Qt::DisplayRole)
                 return category_ == CategoryID::snapshots ? dash : QString::fromStdString(bytes(item.size));
             if (role == Qt::FontRole)
                 return Fonts::monospacedDigits(Fonts::font(FontRole::body));
             return {};
         }});
    columns.push_back({CategoryDetail::tr("Last Used"), SortKeys::byValue<Row>(&lastUsedSort),
                       [&model](const Row& item, int role) -> QVariant {
                           if (role == Qt::DisplayRole)
                               return item.lastUsed ? Texts::lastUsed(*item.lastUsed, model.services().clock->now())
                                                    : dash;
                           if (role == Qt::ForegroundRole)
                               return SemanticColors::secondaryText();
                           return {};
                       }});
    columns.push_back(
        {CategoryDetail::tr("Safety"), SortKeys::byValue<Row>(&Row::safety), [](const Row& item, int role) -> QVariant {
             const Safety shown = shownSafety(item);
             if (role == Qt::DisplayRole)
                 return QString::fromStdString(Explanations::label(shown));
             if (role == Qt::ToolTipRole)
                 return SafetyBadge::tooltip(shown);
             if (role == shownSafetyRole)
                 return int(shown);
             return {};
         }});
    return columns;
}

} // namespace dovrane
