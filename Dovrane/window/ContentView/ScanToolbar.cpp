#include "ContentView/ScanToolbar.h"

#include "AppModel/AppModel.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace dovrane {

ProgressCircle::ProgressCircle(QWidget* parent) : QWidget(parent) { setFixedSize(sizeHint()); }

void ProgressCircle::setValue(double fraction) {
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (clamped == value_)
        return;
    value_ = clamped;
    update();
}

void ProgressCircle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(SemanticColors::of(SemanticColor::quaternaryFill), 3));
    painter.drawEllipse(circle);
    painter.setPen(QPen(SemanticColors::tint(*this), 3, Qt::SolidLine, Qt::FlatCap));
    // Qt counts sixteenths of a degree, anticlockwise from three o'clock.
    painter.drawArc(circle, 90 * 16, -int(std::lround(value_ * 360 * 16)));
}

namespace {

QToolButton* toolButton(const QString& title, const QString& symbol, const QString& tooltip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(title);
    button->setIcon(Symbols::buttonIcon(symbol));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setToolTip(tooltip);
    return button;
}

} // namespace

ScanToolbar::ScanToolbar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    scan_ =
        toolButton(tr("Scan Again"), QStringLiteral("arrow.clockwise"), tr("Measure the disk again (Ctrl-R)"), this);
    connect(scan_, &QToolButton::clicked, this, [this] { model_.startScan(AppModel::Apps::reload); });
    row->addWidget(scan_);

    scanning_ = new QWidget(this);
    auto* scanningRow = new QHBoxLayout(scanning_);
    scanningRow->setContentsMargins(0, 0, 0, 0);
    scanningRow->setSpacing(8);
    progress_ = new ProgressCircle(scanning_);
    stop_ = toolButton(tr("Stop"), QStringLiteral("stop.fill"), tr("Stop the scan (Ctrl-Period)"), scanning_);
    connect(stop_, &QToolButton::clicked, this, [this] { model_.cancelScan(); });
    scanningRow->addWidget(progress_, 0, Qt::AlignVCenter);
    scanningRow->addWidget(stop_, 0, Qt::AlignVCenter);
    row->addWidget(scanning_);

    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::isScanning || field == AppModel::Field::scanProgress ||
            field == AppModel::Field::isDemo)
            refresh();
    });
    refresh();
}

void ScanToolbar::refresh() {
    const bool scanning = model_.isScanning();
    scan_->setVisible(!scanning);
    scan_->setEnabled(!model_.isDemo());
    scan_->setToolTip(Texts::demoTooltip(model_.isDemo(), tr("Measure the disk again (Ctrl-R)")));
    scanning_->setVisible(scanning);
    progress_->setValue(model_.scanProgress());
}

} // namespace dovrane
