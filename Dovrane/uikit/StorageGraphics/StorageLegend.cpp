#include "StorageGraphics/StorageLegend.h"

#include "StorageGraphics/ColorDot.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>

namespace dovrane {

StorageLegend::StorageLegend(ScanResult scan, QWidget* parent) : QWidget(parent), scan_(std::move(scan)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    rebuild();
}

void StorageLegend::setScan(ScanResult scan) {
    scan_ = std::move(scan);
    rebuild();
}

int StorageLegend::columns(int width) { return qMax(1, (width + columnSpacing) / (minimumColumn + columnSpacing)); }

void StorageLegend::rebuild() {
    for (QWidget* cell : cells_)
        delete cell;
    cells_.clear();
    for (StorageGroup group : StorageGroups::all) {
        const std::int64_t size = StorageGroups::size(group, scan_);
        if (size < 1)
            continue;
        auto* cell = new QWidget(this);
        cell->setToolTip(Texts::tooltip(StorageGroups::help(group, scan_)));
        auto* row = new QHBoxLayout(cell);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(new ColorDot([group] { return StorageGroups::color(group).resolved(); }, cell), 0,
                       Qt::AlignVCenter);
        row->addWidget(new StyledLabel(StorageGroups::title(group), Fonts::font(FontRole::body), {}, cell), 0,
                       Qt::AlignVCenter);
        row->addStretch(1);
        row->addSpacing(4);
        row->addWidget(new StyledLabel(
                           byteText(size), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                           [] { return SemanticColors::of(SemanticColor::secondaryLabel); }, cell),
                       0, Qt::AlignVCenter);
        cell->show();
        cells_.push_back(cell);
    }
    place(width());
    updateGeometry();
}

int StorageLegend::cellHeight() const {
    int height = 0;
    for (QWidget* cell : cells_)
        height = qMax(height, cell->sizeHint().height());
    return height;
}

int StorageLegend::heightForWidth(int width) const {
    if (cells_.empty())
        return 0;
    const int perRow = columns(width);
    const int rows = int((cells_.size() + perRow - 1) / perRow);
    return rows * cellHeight() + (rows - 1) * rowSpacing;
}

QSize StorageLegend::sizeHint() const {
    return {minimumColumn * 2 + columnSpacing, heightForWidth(minimumColumn * 2 + columnSpacing)};
}

void StorageLegend::resizeEvent(QResizeEvent*) { place(width()); }

void StorageLegend::place(int width) {
    const int perRow = columns(width);
    const qreal column = qMax<qreal>(0, (width - columnSpacing * (perRow - 1)) / qreal(perRow));
    const int height = cellHeight();
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int row = int(i) / perRow;
        const int col = int(i) % perRow;
        cells_[i]->setGeometry(qRound(col * (column + columnSpacing)), row * (height + rowSpacing), qRound(column),
                               height);
    }
}

} // namespace dovrane
