#include "ContentView/AccessHint.h"

#include "AppModel/AppModel.h"
#include "Services/Permissions.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace dovrane {

AccessHint::AccessHint(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16, 16, 16, 16);

    missing_ = new QWidget(this);
    auto* missingRow = new QHBoxLayout(missing_);
    missingRow->setContentsMargins(0, 0, 0, 0);
    missingRow->setSpacing(12);
    missingRow->addWidget(new SymbolView(QStringLiteral("lock.open"), 16, SemanticColors::secondaryText, missing_), 0,
                          Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(
        new StyledLabel(tr("Some folders are hidden from Dovrane"), Fonts::font(FontRole::headline), {}, missing_));
    auto* why = new StyledLabel(tr("Without Full Disk Access, Mail, Messages, the Trash and parts of the Library stay "
                                   "unmeasured. Dovrane reads sizes and names, never contents."),
                                Fonts::font(FontRole::body), SemanticColors::secondaryText, missing_);
    why->setWordWrap(true);
    why->setMaximumHeight(why->fontMetrics().lineSpacing() * 4);
    texts->addWidget(why);
    missingRow->addLayout(texts, 1);
    openSettings_ = new QPushButton(tr("Open Settings"), missing_);
    // Linux has no such pane: the link check refuses it, and nothing opens.
    connect(openSettings_, &QPushButton::clicked, this,
            [] { Desktop::open(QUrl(QString::fromStdString(Permissions::fullDiskAccessSettings().text()))); });
    missingRow->addWidget(openSettings_, 0, Qt::AlignTop);
    stack->addWidget(missing_);

    restartRow_ = new QWidget(this);
    auto* restartRow = new QHBoxLayout(restartRow_);
    restartRow->setContentsMargins(0, 0, 0, 0);
    restartRow->setSpacing(12);
    restartRow->addWidget(
        new SymbolView(
            QStringLiteral("arrow.clockwise.circle"), 16, [this] { return SemanticColors::tint(*this); }, restartRow_),
        0, Qt::AlignVCenter);
    restartRow->addWidget(new StyledLabel(tr("Full Disk Access is on. It takes effect after Dovrane restarts."),
                                          Fonts::font(FontRole::body), {}, restartRow_),
                          1, Qt::AlignVCenter);
    restart_ = new QPushButton(tr("Restart Dovrane"), restartRow_);
    connect(restart_, &QPushButton::clicked, this, [this] { Permissions::relaunch(model_.services()); });
    restartRow->addWidget(restart_, 0, Qt::AlignVCenter);
    stack->addWidget(restartRow_);

    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::hasFullDiskAccess || field == AppModel::Field::needsRestart)
            refresh();
    });
    refresh();
}

void AccessHint::refresh() {
    state_ = !model_.hasFullDiskAccess() ? State::missing : model_.needsRestart() ? State::restart : State::none;
    missing_->setVisible(state_ == State::missing);
    restartRow_->setVisible(state_ == State::restart);
    setVisible(state_ != State::none);
    update();
}

void AccessHint::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = state_ == State::missing
                            ? SemanticColors::withOpacity(SemanticColors::of(SemanticColor::quaternaryFill), 0.5)
                            : SemanticColors::withOpacity(SemanticColors::tint(*this), 0.08);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(shape, fill);
}

} // namespace dovrane
