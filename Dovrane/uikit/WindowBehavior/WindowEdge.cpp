#include "WindowBehavior/WindowEdge.h"

#include "UiKit/SemanticColors.h"

#include <QEvent>
#include <QPainter>

namespace dovrane {

WindowEdge::WindowEdge(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
}

bool WindowEdge::eventFilter(QObject* watched, QEvent* event) {
    // On top of every child, also those added later.
    if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded)) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return false;
}

void WindowEdge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(SemanticColors::of(SemanticColor::separator));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace dovrane
