#include "WindowBehavior/WindowPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace dovrane::WindowPlacement {

bool platformStacksWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void bringToFront(QWidget* window) {
    // A minimized window comes back as it was before (maximized stays maximized); show()
    // alone would leave it minimized, with only its sheets on screen.
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    if (platformStacksWindows())
        window->raise();
    window->activateWindow();
}

QPoint centred(const QRect& anchor, const QSize& size, const QRect& room) {
    // QRect::center() of the placed frame is then the anchor's, for odd and even sizes alike.
    QPoint corner(anchor.center().x() - (size.width() - 1) / 2, anchor.center().y() - (size.height() - 1) / 2);
    if (room.isEmpty())
        return corner;
    // Too big for the room: keep the title bar (top-left) on the screen.
    corner.setX(std::max(room.left(), std::min(corner.x(), room.right() + 1 - size.width())));
    corner.setY(std::max(room.top(), std::min(corner.y(), room.bottom() + 1 - size.height())));
    return corner;
}

void centreOn(QWidget* window, const QWidget* anchor, const QRect& area, int placedHeight) {
    // The layout settles the size now, before the window exists, so showing it changes no
    // size hint the window system would have to be told about. A window on show keeps its size.
    if (!window->isVisible())
        window->adjustSize();
    const bool anchored = anchor && anchor->isVisible();
    QScreen* screen = anchored ? anchor->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    const QRect target = anchored ? (area.isEmpty() ? anchor->frameGeometry() : area) : room;
    // The window system draws the frame only once a window is shown; until then take the
    // anchor's, which the same window system decorates alike.
    QSize frame = window->frameGeometry().size();
    if (frame == window->size() && anchored)
        frame += anchor->frameGeometry().size() - anchor->size();
    // Placed as if it were placedHeight tall: the same top whatever its height of the moment.
    const int extra = std::max(0, placedHeight - window->height());
    window->move(centred(target, frame + QSize(0, extra), room));
}

QRect sheetArea(const QWidget* window) {
    const auto* main = qobject_cast<const QMainWindow*>(window);
    const QWidget* central = main ? main->centralWidget() : nullptr;
    if (!central)
        return window->geometry();
    return QRect(central->mapToGlobal(QPoint(0, 0)), central->size());
}

int frameHeight(const QWidget* window, const QWidget* anchor) {
    const int own = window->frameGeometry().height() - window->height();
    if (own > 0 || window->isVisible() || !anchor || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return own;
    return anchor->frameGeometry().height() - anchor->height();
}

} // namespace dovrane::WindowPlacement
