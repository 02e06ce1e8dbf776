#include "StorageGraphics/StorageLegend.h"

#include "StorageGraphics/ColorDot.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>

#include <algorithm>
#include <utility>

namespace dovrane {

StorageLegend::StorageLegend(const ScanResult& scan, QWidget* parent)
    : QWidget(parent), scan_(StorageGroups::figures(scan)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    rebuild();
}

void StorageLegend::setScan(const ScanResult& scan) {
    scan_ = StorageGroups::figures(scan);
    rebuild();
}

void StorageLegend::setLinuxHome(bool linuxHome) {
    if (std::exchange(linuxHome_, linuxHome) != linuxHome)
        rebuild();
}

int StorageLegend::columns(int width) { return qMax(1, (width + columnSpacing) / (minimumColumn + columnSpacing)); }

int StorageLegend::widestCell() const {
    int widest = 0;
    for (const QWidget* cell : cells_) {
        const auto* row = static_cast<const QHBoxLayout*>(cell->layout());
        int need = 0;
        for (int i = 0; i < row->count(); ++i) {
            const QLayoutItem* item = row->itemAt(i);
            const auto* label = qobject_cast<const QLabel*>(item->widget());
            // A wrapping label's size hint is not its line: measure the line itself.
            need += label && label->wordWrap() ? Texts::lineWidth(label->fontMetrics(), label->text())
                                               : item->sizeHint().width();
        }
        widest = std::max(widest, need + row->spacing() * (row->count() - 1));
    }
    return widest;
}

int StorageLegend::columnsFor(int width) const {
    const int column = std::max(minimumColumn, widestCell());
    if (column > width)
        return columns(width);
    return std::max(1, (width + columnSpacing) / (column + columnSpacing));
}

void StorageLegend::rebuild() {
    for (QWidget* cell : cells_)
        delete cell;
    cells_.clear();
    for (StorageGroup group : StorageGroups::all) {
        const std::int64_t size = StorageGroups::size(group, scan_);
        if (size < 1)
            continue;
        auto* cell = new QWidget(this);
        cell->setToolTip(Texts::tooltip(StorageGroups::help(group, scan_, linuxHome_)));
        auto* row = new QHBoxLayout(cell);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(new ColorDot([group] { return StorageGroups::shown(group, Appearance::shared().look()); }, cell),
                       0, Qt::AlignVCenter);
        auto* title =
            new StyledLabel(StorageGroups::title(group, scan_, linuxHome_), Fonts::font(FontRole::body), {}, cell);
        title->setWordWrap(true);
        row->addWidget(title, 1, Qt::AlignVCenter);
        row->addSpacing(4);
        row->addWidget(new StyledLabel(byteText(size), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                                       SemanticColors::secondaryText, cell),
                       0, Qt::AlignVCenter);
        cell->show();
        cells_.push_back(cell);
    }
    place(width());
    updateGeometry();
}

qreal StorageLegend::columnWidth(int width) const {
    const int perRow = columnsFor(width);
    return qMax<qreal>(0, (width - columnSpacing * (perRow - 1)) / qreal(perRow));
}

std::vector<int> StorageLegend::rowHeights(int width) const {
    const int perRow = columnsFor(width);
    const int column = qRound(columnWidth(width));
    std::vector<int> heights((cells_.size() + perRow - 1) / perRow, 0);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const QWidget* cell = cells_[i];
        const int height = cell->hasHeightForWidth() ? cell->heightForWidth(column) : cell->sizeHint().height();
        heights[i / perRow] = qMax(heights[i / perRow], height);
    }
    return heights;
}

int StorageLegend::heightForWidth(int width) const {
    const std::vector<int> heights = rowHeights(width);
    if (heights.empty())
        return 0;
    int total = rowSpacing * int(heights.size() - 1);
    for (int height : heights)
        total += height;
    return total;
}

QSize StorageLegend::sizeHint() const {
    return {minimumColumn * 2 + columnSpacing, heightForWidth(minimumColumn * 2 + columnSpacing)};
}

void StorageLegend::resizeEvent(QResizeEvent*) { place(width()); }

void StorageLegend::place(int width) {
    const int perRow = columnsFor(width);
    const qreal column = columnWidth(width);
    const std::vector<int> heights = rowHeights(width);
    int top = 0;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int row = int(i) / perRow;
        const int col = int(i) % perRow;
        if (col == 0 && row > 0)
            top += heights[std::size_t(row - 1)] + rowSpacing;
        cells_[i]->setGeometry(qRound(col * (column + columnSpacing)), top, qRound(column), heights[std::size_t(row)]);
    }
}

} // namespace dovrane
