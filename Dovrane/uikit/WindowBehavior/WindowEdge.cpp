#include "WindowBehavior/WindowEdge.h"

#include "UiKit/SemanticColors.h"

#include <QEvent>
#include <QPainter>

namespace dovrane {

namespace {

// The border: the look's text colour at this opacity stands out from the page behind in either
// look, where the separator colour alone (a tenth of it) hardly shows.
constexpr qreal edgeOpacity = 0.32;

// Drawn on the window behind, around where the floating window stands: rings that fade outwards,
// a little lower than the window, as light from above casts them.
class Shadow final : public QWidget {
public:
    explicit Shadow(QWidget* behind) : QWidget(behind) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Appearance::shared().look() == Look::dark;
        const qreal strongest = dark ? 0.5 : 0.22;
        constexpr int reach = WindowEdge::shadowReach;
        const QRectF window = QRectF(rect()).adjusted(reach, reach - 3, -reach, -reach - 3);
        painter.setBrush(Qt::NoBrush);
        for (int ring = reach; ring >= 1; --ring) {
            const qreal fade = 1.0 - qreal(ring) / (reach + 1);
            painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, strongest * fade * fade), 1.5));
            const QRectF at = window.adjusted(-ring, -ring, ring, ring);
            painter.drawRoundedRect(at, ring, ring);
        }
    }
};

} // namespace

WindowEdge::WindowEdge(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
    QWidget* behind = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (behind && window->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        shadow_ = new Shadow(behind);
        behind->installEventFilter(this);
    }
}

WindowEdge::~WindowEdge() { delete shadow_.data(); }

bool WindowEdge::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == parent()) {
        // On top of every child, also those added later.
        if (type == QEvent::Resize || type == QEvent::ChildAdded) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide)
            placeShadow();
    } else if (shadow_ && watched == shadow_->parentWidget() && (type == QEvent::Move || type == QEvent::Resize)) {
        placeShadow();
    }
    return false;
}

void WindowEdge::placeShadow() {
    if (!shadow_)
        return;
    const QWidget* floating = parentWidget();
    QWidget* behind = shadow_->parentWidget();
    if (!floating->isVisible() || !behind->isVisible()) {
        shadow_->hide();
        return;
    }
    const QRect where(behind->mapFromGlobal(floating->mapToGlobal(QPoint(0, 0))), floating->size());
    shadow_->setGeometry(where.adjusted(-shadowReach, -shadowReach, shadowReach, shadowReach));
    shadow_->raise();
    shadow_->show();
}

void WindowEdge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(SemanticColors::withOpacity(SemanticColors::of(SemanticColor::label), edgeOpacity));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace dovrane
