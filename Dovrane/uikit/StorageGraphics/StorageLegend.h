#pragma once
// Names the groups the bar shows: an adaptive grid of cells (columns at least 200 wide, 12
// apart, rows 8 apart), each a colour dot, the group's title and its size. Columns are made no
// narrower than the widest cell needs on one line while the width allows a column that wide;
// only then does a title longer than its column wrap, and its row grows to hold it.

#include "StorageGraphics/StorageGroup.h"

#include <QWidget>

#include <vector>

namespace dovrane {

class StorageLegend : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumColumn = 200;
    static constexpr int columnSpacing = 12;
    static constexpr int rowSpacing = 8;

    explicit StorageLegend(ScanResult scan, QWidget* parent = nullptr);
    void setScan(ScanResult scan);
    // Words the titles and tooltips for a Linux home.
    void setLinuxHome(bool linuxHome);

    // How many columns fit a width: as many as keep each at least 200 wide, never fewer than 1.
    static int columns(int width);
    // How many columns this legend's cells get at a width: as many as keep each column wide
    // enough for every cell on one line, else as many as columns(width).
    int columnsFor(int width) const;
    // The cells, one per group with a size, in group order.
    const std::vector<QWidget*>& cells() const { return cells_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void place(int width);
    // The height of each row of cells at a width of the whole grid.
    std::vector<int> rowHeights(int width) const;
    qreal columnWidth(int width) const;
    // The width the widest cell needs with its title on one line.
    int widestCell() const;

    ScanResult scan_;
    bool linuxHome_ = false;
    std::vector<QWidget*> cells_;
};

} // namespace dovrane
