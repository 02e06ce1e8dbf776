#include "UiKit/ConfirmationDialog.h"

#include "Theme/Theme.h"
#include "UiKit/DetailHeader.h"
#include "WindowBehavior/WindowEdge.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace dovrane {

ConfirmationDialog::ConfirmationDialog(const QString& title, const QString& message, const QString& action,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("confirmation"));
    setWindowTitle(title);
    setFixedWidth(sheetWidth);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    header_ = new DetailHeader(DetailHeader::Style::sheet, {.title = title, .size = {}, .explanation = message}, this);
    stack->addWidget(header_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(tr("Cancel"), this);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel_);
    action_ = new QPushButton(action, this);
    action_->setAutoDefault(false);
    connect(action_, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(action_);
    cancel_->setDefault(true);
    stack->addLayout(buttons);

    // A window of its own: it takes the accent itself, and its edge shows where it ends.
    themed(this);
    new WindowEdge(this);
}

} // namespace dovrane
