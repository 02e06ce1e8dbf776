#pragma once
// A scan as one horizontal bar: a segment per group with a size, left to right, then the free
// space, the whole row rounded at its two ends. Each segment and the free part carry their own
// tooltip and accessible name.

#include "StorageGraphics/StorageGroup.h"

#include <QRectF>
#include <QWidget>

#include <vector>

namespace dovrane {

class StorageBar : public QWidget {
    Q_OBJECT
public:
    struct Segment {
        StorageGroup group;
        QRectF rect;
    };
    struct Layout {
        std::vector<Segment> segments;
        QRectF free; // empty when the segments leave no room
    };

    static constexpr qreal gap = 2;
    static constexpr qreal minimumSegment = 2;
    static constexpr qreal cornerRadius = 8;

    StorageBar(ScanResult scan, qreal height, QWidget* parent = nullptr);

    // Segment widths are max(2, width × share × 0.99) of the whole width (gaps not taken off);
    // a total below 1 byte makes every share 0. Nothing is ever negative or NaN.
    static Layout layout(const ScanResult& scan, qreal width, qreal height);

    void setScan(ScanResult scan);
    const ScanResult& scan() const { return scan_; }
    // Words the tooltips and the parts' names for a Linux home.
    void setLinuxHome(bool linuxHome);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, height_}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildParts();
    void placeParts();

    ScanResult scan_;
    int height_;
    bool linuxHome_ = false;
    std::vector<QWidget*> parts_; // one per segment, then the free part
};

} // namespace dovrane
