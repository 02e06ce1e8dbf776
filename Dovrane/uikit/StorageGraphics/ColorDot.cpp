#include "StorageGraphics/ColorDot.h"

#include <QPainter>

namespace dovrane {

ColorDot::ColorDot(ColorSource color, QWidget* parent) : QWidget(parent), color_(std::move(color)) {
    setFixedSize(diameter, diameter);
}

void ColorDot::setColor(ColorSource color) {
    color_ = std::move(color);
    update();
}

void ColorDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color_());
    if (outline_) {
        constexpr qreal ring = 1.5;
        painter.setPen(QPen(outline_(), ring));
        painter.drawEllipse(QRectF(ring / 2, ring / 2, diameter - ring, diameter - ring));
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
}

void ColorDot::setOutline(ColorSource outline) {
    outline_ = std::move(outline);
    update();
}

} // namespace dovrane
