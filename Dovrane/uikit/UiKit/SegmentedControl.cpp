#include "UiKit/SegmentedControl.h"

#include "UiKit/FocusRing.h"
#include "UiKit/SemanticColors.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace dovrane {

namespace {

constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 4;

} // namespace

SegmentedControl::SegmentedControl(QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)), row_(new QHBoxLayout(this)) {
    group_->setExclusive(true);
    row_->setContentsMargins(inset, inset, inset, inset);
    row_->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QAbstractButton* SegmentedControl::addSegment(const QString& text, int id) {
    auto* segment = new Segment(text, this);
    segment->setChecked(group_->buttons().isEmpty());
    group_->addButton(segment, id);
    row_->addWidget(segment);
    // The hairlines between segments follow the choice.
    connect(segment, &QAbstractButton::toggled, this, qOverload<>(&QWidget::update));
    return segment;
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(SemanticColors::of(SemanticColor::separator), 1));
    painter.setBrush(SemanticColors::of(SemanticColor::quaternaryFill));
    painter.drawRoundedRect(track, radius, radius);

    // A hairline between two segments neither of which is raised.
    const QList<QAbstractButton*> segments = group_->buttons();
    painter.setPen(QPen(SemanticColors::of(SemanticColor::separator), 1));
    for (qsizetype i = 1; i < segments.size(); ++i) {
        if (segments[i - 1]->isChecked() || segments[i]->isChecked())
            continue;
        const qreal x = segments[i]->geometry().left() + 0.5;
        painter.drawLine(QPointF(x, inset + 4), QPointF(x, height() - inset - 4));
    }
}

Segment::Segment(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCheckable(true);
    setAutoExclusive(false);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Segment::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text()) + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding};
}

QSize Segment::minimumSizeHint() const { return sizeHint(); }

void Segment::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = SegmentedControl::radius - SegmentedControl::inset;
    if (isChecked()) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(palette().color(QPalette::Light));
        painter.drawRoundedRect(bounds, radius, radius);
    } else if (isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(SemanticColors::of(SemanticColor::quaternaryFill));
        painter.drawRoundedRect(bounds, radius, radius);
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus())
        FocusRing::paint(painter, QRectF(rect()), radius);
}

} // namespace dovrane
