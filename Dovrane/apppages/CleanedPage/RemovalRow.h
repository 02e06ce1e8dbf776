#pragma once
// One entry of the journal of moves to the Trash: what was moved, when, how much of it is
// still in the Trash, and Put Back while something can come back. The page keeps a row only
// for the records in view and hands a row another record as the list scrolls.

#include "Services/ModelContainer.h"

#include <QWidget>

#include <memory>

class QMenu;
class QPushButton;

namespace dovrane {

class AppModel;
class Removal;
class ElidedLabel;
class StyledLabel;
class SymbolView;

class RemovalRow : public QWidget {
    Q_OBJECT
public:
    explicit RemovalRow(AppModel& model, QWidget* parent = nullptr);

    // Shows the entry's record; its status and Put Back only once its items in the Trash are
    // counted (a record put back, or any in demo mode, needs no count). pressed: its put back
    // runs, the button is off.
    void setEntry(const JournalEntry& entry, bool counted, bool pressed);
    // A row waiting for its record shows nothing.
    void clear();

    const JournalEntry& entry() const { return entry_; }
    const std::shared_ptr<const Removal>& removal() const { return entry_.record; }
    // How many of the record's items are still in the Trash, as of the last count. In demo
    // mode the Trash is not looked at: none for a record about Xcode, else all.
    int inTrash() const { return inTrash_; }
    // The context menu: "Show in Trash" while the first item is in the Trash, else empty.
    std::unique_ptr<QMenu> menu();

    ElidedLabel* title() const { return title_; }
    ElidedLabel* detail() const { return detail_; }
    StyledLabel* status() const { return status_; }
    // The check mark before "Put back", so the finished state reads as a state, not as a
    // switched-off button.
    SymbolView* statusMark() const { return statusMark_; }
    QPushButton* putBack() const { return putBack_; }
    SymbolView* icon() const { return icon_; }

signals:
    void putBackPressed(const JournalEntry& entry);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    AppModel& model_;
    JournalEntry entry_;
    int inTrash_ = 0;
    SymbolView* icon_;
    ElidedLabel* title_;
    ElidedLabel* detail_;
    SymbolView* statusMark_;
    StyledLabel* status_;
    QPushButton* putBack_;
};

} // namespace dovrane
