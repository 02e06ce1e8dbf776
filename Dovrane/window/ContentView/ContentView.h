#pragma once
// The main window: a sidebar of the six pages beside the page on show, the notice bar above
// the page, the toolbar with the scan control, the sheet host, the drop target for apps, and
// the launch steps each time the window is shown anew. Everything it shows lives in the model;
// it keeps only whether a drop hovers over it.

#include "AppModel/AppModel.h"

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QToolBar>

#include <functional>

class QSplitter;
class QVBoxLayout;

namespace dovrane {

class NoticeBar;
class ScanToolbar;
class SheetHost;

// The sidebar's rows: the symbol in the tint (in the selection's text colour on the selected
// row), worked out at every paint so it follows the look, and the badge, a count drawn at the
// row's trailing end (0 draws nothing). A list whose "compact" property is true shows the symbols
// alone, each badge a dot at its symbol's corner.
class SidebarBadgeDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int badgeRole = Qt::UserRole + 1;
    static constexpr int symbolRole = Qt::UserRole + 2;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where a row's badge goes (empty without one) and, in the compact sidebar, its symbol: the
    // symbol in the middle, moved left as far as a badge beside it needs to keep clear of it.
    struct Places {
        QRect badge;
        QRect symbol;
    };
    static Places places(const QStyleOptionViewItem& option, const QModelIndex& index);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// A rounded border in the tint over the whole window while a drop hovers; takes no clicks.
class DropHighlight final : public QWidget {
    Q_OBJECT
public:
    explicit DropHighlight(QWidget* host);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class ContentView final : public QMainWindow {
    Q_OBJECT
public:
    // launch: the launch steps, run each time the window is shown anew (the first time and
    // after it was closed).
    ContentView(AppModel& model, std::function<void()> launch, QWidget* parent = nullptr);
    ~ContentView() override;

    AppModel& model() const { return model_; }

    // The page's own control in the toolbar (the Apps page's search field); replaced by the
    // next page's, and gone with the page. nullptr removes it.
    void setPageControl(QWidget* control);
    QWidget* pageControl() const { return pageControl_; }

    // "Clean Up Safe Items…", the one owner of Ctrl+Return: a page's own clean-up button
    // triggers this action rather than binding the key a second time.
    void setCleanUpSafeItems(QAction* action) { cleanUpSafeItems_ = action; }
    QAction* cleanUpSafeItems() const { return cleanUpSafeItems_; }

    // Builds the page of the model's sidebar item anew. The application calls it once it has
    // installed the page makers, which need the window's menus and so come after the window.
    void showPage();

    // The badge count of a sidebar row: the orphans for Apps, 0 for the rest.
    int badge(SidebarItem item) const;

    QListWidget* sidebar() const { return sidebar_; }
    // Below this width the sidebar shows its symbols alone, so a page keeps the room it needs.
    static constexpr int compactBelow = 920;
    bool sidebarCompact() const { return compact_; }
    QToolBar* toolbar() const { return toolbar_; }
    ScanToolbar* scanToolbar() const { return scanToolbar_; }
    NoticeBar* noticeBar() const { return noticeBar_; }
    SheetHost* sheetHost() const { return sheetHost_; }
    QWidget* page() const { return page_; }
    bool dropTargeted() const { return dropTargeted_; }

    // The items of a text/uri-list in order, comments and blank lines left out.
    static std::vector<Url> urlsOfUriList(const QByteArray& list);

signals:
    // The window was closed by the user (or the system); the application applies its quit rule.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void modelChanged(AppModel::Field field);
    void selectSidebarRow();
    void refreshBadges();
    void refreshRowTips();
    void setSidebarCompact(bool compact);
    void refreshNotice();
    void setDropTargeted(bool targeted);
    void removalRequested(const QString& name, const QVariant& object);

    AppModel& model_;
    std::function<void()> launch_;
    bool launchPending_ = true;
    bool dropTargeted_ = false;

    QListWidget* sidebar_;
    QSplitter* split_;
    bool compact_ = false;
    int fullSidebarWidth_; // the width to go back to when the window grows again
    QToolBar* toolbar_;
    QWidget* pageControlHost_;
    QAction* pageControlSlot_ = nullptr; // the host's place in the toolbar
    QPointer<QWidget> pageControl_;
    QPointer<QAction> cleanUpSafeItems_;
    ScanToolbar* scanToolbar_;
    QVBoxLayout* detail_;
    NoticeBar* noticeBar_ = nullptr;
    QPointer<QWidget> page_;
    SheetHost* sheetHost_;
    DropHighlight* dropHighlight_;
};

} // namespace dovrane
