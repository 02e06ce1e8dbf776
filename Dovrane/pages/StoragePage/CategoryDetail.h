#pragma once
// The right-hand pane of the Storage and Developer pages: one category of the last scan with
// its header, a sortable table of its items with a context menu, and a footer with a summary
// and the actions that fit the category. The three outright deletions ask first. The pane
// keeps its selection (`picked`, by the items' positions in the category), its sort order and
// its confirmations while the user moves between categories; the selection is cleared when the
// category changes. The items are held once, by the table.

#include "StoragePage/CategoryItemsModel.h"
#include "StoragePage/DeletionsInFlight.h"
#include "StoragePage/PageContext.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QLayout;
class QMenu;
class QPushButton;
class QTableView;

namespace dovrane {

class ContentUnavailableView;
class DetailHeader;
class FooterBar;
class LineLimitedLabel;
class StyledLabel;

class CategoryDetail final : public QWidget {
    Q_OBJECT
public:
    CategoryDetail(PageContext context, std::optional<QString> footer, QWidget* parent = nullptr);

    // Shows a category; a new id (not the first one) clears the selection, the same id keeps
    // whatever of it still names an item (by its URL).
    void setCategory(const Category& category);
    // The category on show, its figures alone: its items are the table's rows (items()->rows(),
    // in the category's order).
    const Category& category() const { return category_; }

    // The ids of the picked items.
    std::set<std::string> picked() const;
    std::size_t pickedCount() const { return pickedCount_; }
    // Replaces the selection by the items with these ids and selects the rows to match.
    void setPicked(const std::set<std::string>& ids);
    // The picked items in the category's order.
    std::vector<CleanupItem> pickedItems() const;
    QString summary() const;

    bool confirmTrash() const { return confirmTrash_; }
    bool confirmSnapshots() const { return confirmSnapshots_; }
    bool confirmSimulators() const { return confirmSimulators_; }

    QTableView* table() const { return table_; }
    CategoryItemsModel* items() const { return items_; }
    FooterBar* footerBar() const { return footerBar_; }
    // The width the footer needs to keep its summary and its buttons on one row in any category
    // and with any selection, in the language of the moment.
    int footerRoom() const;
    // The context menu for a point of the table's viewport, not yet shown.
    std::unique_ptr<QMenu> contextMenu(const QPoint& viewportPoint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's parts, in the order the pane shows them.
    void makeHeader();
    QLayout* makeTable();
    void makeFooter();
    void makeActions();
    void showAccessHintSlot();
    void selectionChangedByUser();
    // Counts what picked_ marks, then shows it in the table.
    void pickedChanged();
    void applyPicked();
    void redrawHeader();
    void redrawFooter();
    // The focus, taken from a footer action that went away, goes to what the pane has left;
    // answers where.
    QWidget* keepFocusInPane();
    std::vector<CleanupItem> targets(const QPoint& viewportPoint) const;
    void moveToTrash(std::vector<CleanupItem> items);
    void chooseProjectFolders();
    void selectSafeItems();
    void confirm(DeletionsInFlight::Kind kind);
    void runDeletion(DeletionsInFlight::Kind kind);
    bool& flag(DeletionsInFlight::Kind kind);

    PageContext context_;
    std::optional<QString> footer_;
    Category category_; // without its items
    bool hasCategory_ = false;
    // By the index of the item in the category's order; what it marks, counted.
    std::vector<bool> picked_;
    std::size_t pickedCount_ = 0;
    std::int64_t pickedSize_ = 0;
    bool pickedTrashable_ = false;
    bool confirmTrash_ = false;
    bool confirmSnapshots_ = false;
    bool confirmSimulators_ = false;
    bool applyingPicked_ = false;

    DetailHeader* header_;
    StyledLabel* note_;
    // The hint shows or hides itself by what it has to say; its slot is shown only for the
    // categories that access limits and while the hint shows.
    QWidget* accessHint_ = nullptr;
    QWidget* accessHintSlot_ = nullptr;
    CategoryItemsModel* items_;
    QTableView* table_;
    ContentUnavailableView* empty_;
    ContentUnavailableView* unexplained_;
    FooterBar* footerBar_;
    QPushButton* emptyTrash_;
    QWidget* emptying_; // shown while the Trash is being emptied
    QPushButton* deleteSnapshots_;
    QPushButton* removeUnavailable_;
    QPushButton* chooseFolders_;
    QPushButton* selectSafe_;
    QPushButton* moveToTrash_;
    QAction* moveToTrashAction_;
    LineLimitedLabel* onlyShown_;
    // A deletion's button that had the focus when its deletion started, and where the focus
    // went meanwhile: it returns when the button does, unless the user moved on.
    QPointer<QWidget> focusOwedTo_;
    QPointer<QWidget> focusLentTo_;
};

} // namespace dovrane
