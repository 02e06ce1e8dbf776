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
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_());
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
}

} // namespace dovrane
