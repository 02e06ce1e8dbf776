#pragma once
// The question before an action that cannot be undone, drawn as the app's sheets are: the title
// as the sheet's heading, the message under it at a readable width, then Cancel and the action's
// button at the bottom right with no icons, inside the 1 px edge of a window that floats over
// another. Cancel is the default button and Escape cancels, so a slipped Return deletes nothing.
// Window-modal over its parent's window; it deletes itself once closed.

#include <QDialog>

class QPushButton;

namespace dovrane {

class DetailHeader;

class ConfirmationDialog final : public QDialog {
    Q_OBJECT
public:
    // Wide enough for a sentence of a dozen words a line, no wider.
    static constexpr int sheetWidth = 440;

    ConfirmationDialog(const QString& title, const QString& message, const QString& action, QWidget* parent);

    DetailHeader* header() const { return header_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* actionButton() const { return action_; }

private:
    DetailHeader* header_;
    QPushButton* cancel_;
    QPushButton* action_;
};

} // namespace dovrane
