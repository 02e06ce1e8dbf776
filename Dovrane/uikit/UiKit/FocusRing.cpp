#include "UiKit/FocusRing.h"

#include "Theme/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>

namespace dovrane::FocusRing {

QColor color() { return ThemeStore::shared().current().accent(); }

void paint(QPainter& painter, const QRectF& bounds, qreal radius) { paint(painter, bounds, radius, color()); }

void paint(QPainter& painter, const QRectF& bounds, qreal radius, const QColor& ringColor) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ringColor, 2));
    const QRectF ring = bounds.adjusted(1, 1, -1, -1);
    const qreal inner = std::max<qreal>(0, radius - 1);
    painter.drawRoundedRect(ring, inner, inner);
    painter.restore();
}

namespace {

class Overlay final : public QWidget {
public:
    Overlay(QWidget* target, qreal radius) : QWidget(target), radius_(radius) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        setGeometry(target->rect());
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Resize:
            setGeometry(parentWidget()->rect());
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            raise();
            update();
            break;
        default:
            break;
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        if (!parentWidget()->hasFocus())
            return;
        QPainter painter(this);
        paint(painter, QRectF(rect()), radius_);
    }

private:
    qreal radius_;
};

} // namespace

void attach(QWidget* widget, qreal radius) {
    auto* overlay = new Overlay(widget, radius);
    overlay->show();
}

Marker::Marker(QWidget* parent, qreal radius) : QWidget(parent), radius_(radius) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void Marker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), radius_);
}

void followFocusIntoView() {
    static QPointer<QObject> installed;
    if (installed || !qApp)
        return;
    installed = new QObject(qApp);
    QObject::connect(qApp, &QApplication::focusChanged, installed, [](QWidget*, QWidget* now) {
        if (!now)
            return;
        // Innermost area first, so nested areas each bring the widget's area into view.
        for (QWidget* above = now->parentWidget(); above; above = above->parentWidget()) {
            auto* area = qobject_cast<QScrollArea*>(above);
            if (area && area->widget() && area->widget()->isAncestorOf(now))
                area->ensureWidgetVisible(now, 8, 8);
        }
    });
}

} // namespace dovrane::FocusRing
