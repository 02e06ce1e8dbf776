#include "WindowBehavior/WindowHook.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace dovrane {

WindowHook::WindowHook(QWidget* view, QWidget* home) : QObject(view), view_(view), home_(home) {
    view_->installEventFilter(this);
    attach();
}

void WindowHook::attach() {
    if (window_)
        window_->removeEventFilter(this);
    window_ = view_->window();
    window_->installEventFilter(this);
    // A window not yet shown counts as closed: its first activation clears the focus.
    reopened_ = !window_->isVisible();
    if (!reopened_)
        clearLater();
}

bool WindowHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::ParentChange) {
        attach();
    } else if (watched == window_) {
        // Closing hides the window on purpose; minimising hides it spontaneously and is no close.
        if (event->type() == QEvent::Hide && !event->spontaneous()) {
            reopened_ = true;
        } else if (event->type() == QEvent::WindowActivate && reopened_) {
            reopened_ = false;
            clearLater();
        }
    }
    return false;
}

void WindowHook::clearLater() {
    // Queued, so the focus Qt gives an activated window is cleared after it has been given.
    QTimer::singleShot(0, this, [this] {
        if (!window_)
            return;
        if (home_ && home_->window() == window_)
            home_->setFocus(Qt::ActiveWindowFocusReason);
        else if (QWidget* focused = window_->focusWidget())
            focused->clearFocus();
    });
}

} // namespace dovrane
