#pragma once
// The two-pane browser of the Storage and Developer pages: a ring and a list of categories in
// titled sections on the left, the chosen category's detail on the right. The choice lives in
// the shared StorageSelection; a choice that is not among this browser's categories shows the
// fallback and is never overwritten by the browser.

#include "AppModel/AppModel.h"
#include "StoragePage/PageContext.h"

#include <QAbstractListModel>
#include <QWidget>

#include <optional>
#include <vector>

class QListView;
class QStackedLayout;

namespace dovrane {

class CategoryDetail;
class CategoryRow;
class ContentUnavailableView;
class StorageRing;

class CategoryBrowser final : public QWidget {
    Q_OBJECT
public:
    struct Section {
        QString title; // already translated
        std::vector<CategoryID> categories;
    };

    CategoryBrowser(PageContext context, std::vector<Section> sections, CategoryID fallback,
                    std::optional<QString> footer = std::nullopt, QWidget* parent = nullptr);

    // Every section's categories, in section order.
    const std::vector<CategoryID>& all() const { return all_; }
    // The shared choice when it is one of all(), else the fallback, or where the fallback holds
    // nothing the first listed category that holds items.
    CategoryID current() const;

    bool showsEmptyState() const;
    ContentUnavailableView* emptyState() const { return empty_; }
    QListView* list() const { return list_; }
    StorageRing* ring() const { return ring_; }
    CategoryDetail* detail() const { return detail_; }
    CategoryRow* row(CategoryID id) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ListModel;
    void modelChanged(AppModel::Field field);
    void redraw();
    // The list's width: what its rows need on one line, as far as the detail leaves room.
    void fitList();
    // Each row's height at the list's width, a title wrapping where it must.
    void fitRows();
    void showCurrent();
    void listSelectionChanged();
    // Shows the scan's category in the detail, or an empty one where the scan lacks it.
    void showCategory(CategoryID id);

    PageContext context_;
    std::vector<Section> sections_;
    std::vector<CategoryID> all_;
    CategoryID fallback_;
    QStackedLayout* stack_;
    ContentUnavailableView* empty_;
    QWidget* sidebar_;
    StorageRing* ring_;
    ListModel* listModel_;
    QListView* list_;
    CategoryDetail* detail_;
    bool selectingCurrent_ = false;
};

} // namespace dovrane
