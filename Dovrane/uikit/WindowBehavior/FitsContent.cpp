#include "WindowBehavior/FitsContent.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace dovrane {

FitsContent::FitsContent(QScrollArea* area, double max) : QObject(area), area_(area), max_(max) {
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->installEventFilter(this);
    measure();
}

std::optional<double> FitsContent::fittedHeight() const {
    if (!height_)
        return std::nullopt;
    return std::min(*height_, max_);
}

void FitsContent::contentHeightChanged(double height) {
    if (std::abs(height - height_.value_or(0)) < 1)
        return;
    height_ = height;
    apply();
}

bool FitsContent::eventFilter(QObject* watched, QEvent* event) {
    // The type is looked at first: while the area is being destroyed it still sends events
    // (hide, close) but is no longer a scroll area to ask anything.
    const QEvent::Type type = event->type();
    if (type != QEvent::LayoutRequest && type != QEvent::Resize)
        return false;
    if ((content_ && watched == content_) || (watched == area_ && type == QEvent::Resize))
        measure();
    return false;
}

void FitsContent::measure() {
    if (content_ != area_->widget()) {
        if (content_)
            content_->removeEventFilter(this);
        content_ = area_->widget();
        if (content_)
            content_->installEventFilter(this);
    }
    QWidget* content = content_;
    if (!content)
        return;
    // The height the content wants at the width the area shows it in.
    const int width = area_->viewport()->width();
    int wanted = content->hasHeightForWidth() ? content->heightForWidth(width) : content->sizeHint().height();
    wanted = qMin(qMax(wanted, content->minimumHeight()), content->maximumHeight());
    contentHeightChanged(wanted);
}

void FitsContent::apply() {
    const auto fitted = fittedHeight();
    if (!fitted)
        return;
    const int frame = 2 * area_->frameWidth();
    area_->setFixedHeight(int(std::ceil(*fitted)) + frame);
}

} // namespace dovrane
