#pragma once
// Pieces the confirmation sheets and onboarding share: a label with a leading symbol and the
// button row's confirming button that acts only once.

#include "UiKit/Labels.h"

#include <QDialog>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace dovrane::SheetParts {

// A symbol, then the text; both in the given font and colour.
QWidget* symbolLabel(const QString& symbol, const QString& text, const QFont& font, StyledLabel::ColorSource color,
                     QWidget* parent);
// The default button (Return) that runs action on its first press only and stays disabled
// until the sheet is gone, so a request is never carried out twice.
QPushButton* confirmButton(const QString& title, std::function<void()> action, QWidget* parent);
// Cancel: Escape closes the dialog through reject(); Return never lands here.
QPushButton* cancelButton(const QString& title, QDialog* dialog, QWidget* parent);

} // namespace dovrane::SheetParts
