#include "UiKit/CheckRow.h"

#include "UiKit/FocusRing.h"

#include <QHBoxLayout>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace dovrane {

namespace {
constexpr int padding = 6;
}

CheckRow::CheckRow(QWidget* parent) : QCheckBox(parent) {
    content_ = new QHBoxLayout(this);
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
    const int gap = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
    content_->setContentsMargins(padding + box + gap, 4, padding, 4);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize CheckRow::sizeHint() const { return content_->sizeHint(); }
QSize CheckRow::minimumSizeHint() const { return content_->minimumSize(); }

bool CheckRow::hitButton(const QPoint& position) const { return rect().contains(position); }

void CheckRow::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style's own focus mark would frame only the box; the ring below frames the row.
    option.state &= ~QStyle::State_HasFocus;
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
    const int boxHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    option.rect = QRect(padding, (height() - boxHeight) / 2, box, boxHeight);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);
    if (hasFocus())
        FocusRing::paint(painter, QRectF(rect()), 6);
}

} // namespace dovrane
