#pragma once
// Pieces the confirmation sheets and onboarding share: a label with a leading symbol, the
// button row's confirming button that acts only once, and the part of a sheet that scrolls when
// the window leaves the sheet too little room.

#include "UiKit/Labels.h"

#include <QDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>

#include <functional>

namespace dovrane {

// A frameless scroll area around content that wants as much height as its content does at its
// width, and gives way to a few lines when the sheet has less room; the sheet's buttons beside it
// stay on show.
class SheetBody final : public QScrollArea {
    Q_OBJECT
public:
    SheetBody(QWidget* content, QWidget* parent);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

} // namespace dovrane

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
