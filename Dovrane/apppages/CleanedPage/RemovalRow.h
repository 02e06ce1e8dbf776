#pragma once
// One entry of the journal of moves to the Trash: what was moved, when, how much of it is
// still in the Trash, and Put Back while something can come back.

#include <DovraneKit/trash/RemovedItem.h>

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;

namespace dovrane {

class AppModel;
class Removal;
class StyledLabel;
class SymbolView;

class RemovalRow : public QWidget {
    Q_OBJECT
public:
    RemovalRow(AppModel& model, std::shared_ptr<Removal> removal, QWidget* parent = nullptr);

    const std::shared_ptr<Removal>& removal() const { return removal_; }
    // How many of the record's items are still in the Trash, as of the last count. In demo
    // mode the Trash is not looked at: none for a record about Xcode, else all.
    int inTrash() const { return inTrash_; }
    // Reads the record and the Trash again: a large record's Trash off the main thread, its
    // count shown when it arrives.
    void refresh();
    // The context menu: "Show in Trash" while the first item is in the Trash, else empty.
    std::unique_ptr<QMenu> menu();

    StyledLabel* title() const { return title_; }
    StyledLabel* detail() const { return detail_; }
    StyledLabel* status() const { return status_; }
    QPushButton* putBack() const { return putBack_; }
    SymbolView* icon() const { return icon_; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct TrashCount {
        int inTrash = 0;
        int backInPlace = 0; // out of the Trash and at the original place; counted only when none is in it
    };
    // Blocking: looks at every item's place in the Trash.
    static TrashCount count(const std::vector<RemovedItem>& items);
    void showCount(TrashCount counted);
    void pressPutBack();

    AppModel& model_;
    std::shared_ptr<Removal> removal_;
    int inTrash_ = 0;
    std::uint64_t looks_ = 0;     // the refresh whose count the row waits for
    bool putBackPending_ = false; // from a press until the model's put back has ended
    SymbolView* icon_;
    StyledLabel* title_;
    StyledLabel* detail_;
    StyledLabel* status_;
    QPushButton* putBack_;
};

} // namespace dovrane
