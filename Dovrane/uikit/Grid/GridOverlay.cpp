#include "Grid/GridOverlay.h"

#include "Grid/GridProbes.h"
#include "UiKit/Fonts.h"
#include "UiKit/SemanticColors.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cstdlib>
#include <cstring>

namespace dovrane {

GridOverlay::GridOverlay(QWidget* host) : QWidget(host) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(host->rect());
    host->installEventFilter(this);
    connect(&GridProbes::shared(), &GridProbes::changed, this, qOverload<>(&QWidget::update));
    raise();
}

bool GridOverlay::enabled() {
    static const bool on = [] {
        const char* value = std::getenv("APP_GRID");
        return value && std::strcmp(value, "1") == 0;
    }();
    return on;
}

std::vector<double> GridOverlay::lines(double length) {
    std::vector<double> positions;
    // Each position is 8 × n, never a running sum, so no rounding creeps in.
    for (long n = 0; 8.0 * double(n) <= length; ++n)
        positions.push_back(8.0 * double(n));
    return positions;
}

bool GridOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return false;
}

void GridOverlay::paintEvent(QPaintEvent*) {
    const Look look = Appearance::shared().look();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath grid;
    for (double x : lines(width()))
        grid.addRect(QRectF(x, 0, 0.5, height()));
    for (double y : lines(height()))
        grid.addRect(QRectF(0, y, width(), 0.5));
    grid.setFillRule(Qt::WindingFill);
    painter.fillPath(grid, SemanticColors::withOpacity(SemanticColors::of(SemanticColor::cyan, look), 0.12));

    // Probe frames are in the window's coordinates; this overlay may sit lower in it.
    const QPoint origin = mapTo(window(), QPoint(0, 0));
    const QColor blue = SemanticColors::of(SemanticColor::blue, look);
    const QColor pink = SemanticColors::of(SemanticColor::pink, look);
    const QFont label = Fonts::system(9, QFont::Medium);
    for (const GridProbes::Probe& probe : GridProbes::shared().probes()) {
        const QRectF frame(probe.x - origin.x(), probe.y - origin.y(), probe.width, probe.height);
        painter.setBrush(Qt::NoBrush);
        if (probe.kind == GridProbes::Kind::area) {
            painter.setPen(QPen(SemanticColors::withOpacity(blue, 0.6), 1));
            painter.drawRect(frame);
            QPen dashed(SemanticColors::withOpacity(blue, 0.35), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
            dashed.setDashPattern({4, 4});
            dashed.setMiterLimit(10);
            painter.setPen(dashed);
            painter.drawRect(frame.adjusted(probe.inset, probe.inset, -probe.inset, -probe.inset));
        } else {
            painter.setPen(QPen(SemanticColors::withOpacity(pink, 0.8), 1));
            painter.drawRect(frame);
            painter.setPen(pink);
            painter.setFont(label);
            const QFontMetricsF metrics(label);
            // Leading edge at (x + 2), vertically centred on y − 6: just above the top-left corner.
            painter.drawText(QPointF(frame.x() + 2, frame.y() - 6 + (metrics.ascent() - metrics.descent()) / 2),
                             probe.name);
        }
    }
}

} // namespace dovrane
