#include "StorageGraphics/StorageBar.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <utility>

namespace dovrane {

StorageBar::StorageBar(const ScanResult& scan, qreal height, QWidget* parent)
    : QWidget(parent), scan_(StorageGroups::figures(scan)), height_(qMax(1, qRound(height))) {
    setFixedHeight(height_);
    AccessibleRole::set(this, QAccessible::Chart);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    rebuildParts();
}

StorageBar::Layout StorageBar::layout(const ScanResult& scan, qreal width, qreal height) {
    Layout result;
    width = std::isfinite(width) ? qMax<qreal>(0, width) : 0;
    qreal x = 0;
    for (StorageGroup group : StorageGroups::all) {
        const std::int64_t size = StorageGroups::size(group, scan);
        if (size < 1)
            continue;
        const double share = scan.total < 1 ? 0.0 : double(size) / double(scan.total) * 0.99;
        const qreal segment = qMax(minimumSegment, width * share);
        result.segments.push_back({group, QRectF(x, 0, segment, height)});
        x += segment + gap;
    }
    if (x < width)
        result.free = QRectF(x, 0, width - x, height);
    return result;
}

void StorageBar::setScan(const ScanResult& scan) {
    scan_ = StorageGroups::figures(scan);
    rebuildParts();
    update();
}

QSize StorageBar::sizeHint() const { return {300, height_}; }

void StorageBar::setLinuxHome(bool linuxHome) {
    if (std::exchange(linuxHome_, linuxHome) != linuxHome)
        rebuildParts();
}

void StorageBar::rebuildParts() {
    for (QWidget* part : parts_)
        delete part;
    parts_.clear();
    // Transparent children: the bar paints, the parts answer tooltips and assistive tools.
    auto addPart = [this](const QString& tip, const QString& name) {
        auto* part = new QWidget(this);
        AccessibleRole::set(part, QAccessible::StaticText);
        part->setToolTip(Texts::tooltip(tip));
        part->setAccessibleName(name);
        parts_.push_back(part);
    };
    for (const Segment& segment : layout(scan_, 0, height_).segments) {
        const QString size = byteText(StorageGroups::size(segment.group, scan_));
        addPart(StorageGroups::help(segment.group, scan_, linuxHome_),
                tr("%1, %2").arg(StorageGroups::title(segment.group, scan_, linuxHome_), size));
    }
    const QString free = tr("Free: %1").arg(byteText(scan_.free));
    addPart(free, free);
    setAccessibleName(tr("%1 used of %2").arg(byteText(scan_.used()), byteText(scan_.total)));
    placeParts();
}

void StorageBar::placeParts() {
    const Layout bar = layout(scan_, width(), height_);
    for (std::size_t i = 0; i < bar.segments.size() && i < parts_.size(); ++i) {
        // Parts beyond the bar's end stay hidden, as their paint is clipped away.
        const QRect rect = bar.segments[i].rect.toAlignedRect().intersected(this->rect());
        parts_[i]->setGeometry(rect);
        parts_[i]->setVisible(!rect.isEmpty());
    }
    QWidget* freePart = parts_.back();
    freePart->setGeometry(bar.free.toAlignedRect());
    freePart->setVisible(!bar.free.isEmpty());
}

void StorageBar::resizeEvent(QResizeEvent*) { placeParts(); }

void StorageBar::paintEvent(QPaintEvent*) {
    const Layout bar = layout(scan_, width(), height_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.setClipPath(clip);
    const Look look = Appearance::shared().look();
    for (const Segment& segment : bar.segments)
        painter.fillRect(segment.rect, StorageGroups::shown(segment.group, look));
    if (!bar.free.isEmpty())
        painter.fillRect(bar.free, SemanticColors::of(SemanticColor::quaternaryFill, look));
}

} // namespace dovrane
