#include "WindowBehavior/FitsHeight.h"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace dovrane {

FitsHeight::FitsHeight(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

int FitsHeight::neededHeight() const {
    const QLayout* layout = window_->layout();
    if (!layout)
        return 0;
    const int needed =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(window_->width()) : layout->totalSizeHint().height();
    return std::max(needed, layout->totalMinimumSize().height());
}

void FitsHeight::setCeiling(int height) {
    if (std::exchange(ceiling_, std::max(height, 0)) != ceiling_)
        fit();
}

bool FitsHeight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ &&
        (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show || event->type() == QEvent::Resize))
        fit();
    return QObject::eventFilter(watched, event);
}

void FitsHeight::fit() {
    int needed = neededHeight();
    if (needed <= 0)
        return;
    // Never taller than the room; the content's own scrolling takes the rest, down to what the
    // content cannot do without.
    int room = ceiling_;
    if (const QScreen* screen = window_->screen(); screen && room <= 0)
        room = screen->availableGeometry().height();
    if (room > 0)
        needed = std::min(needed, std::max(room, window_->layout()->totalMinimumSize().height()));
    if (window_->minimumHeight() != needed || window_->maximumHeight() != needed)
        window_->setFixedHeight(needed);
}

} // namespace dovrane
