#pragma once
// The first page: how much space is free, what fills the disk (the storage bar and its legend)
// and what can go safely right now (the safe list and its one clean-up button). Before the
// first scan it invites to scan or shows the first scan's progress. It keeps no state: every
// change of the model it reads draws the page again from the model.

#include "AppModel/AppModel.h"
#include "StoragePage/PageContext.h"

#include <QScrollArea>

class QAction;
class QProgressBar;
class QVBoxLayout;

namespace dovrane {

class StyledLabel;

class OverviewPage final : public QScrollArea {
    Q_OBJECT
public:
    enum class State { scan, scanning, noScan };

    explicit OverviewPage(PageContext context, QWidget* parent = nullptr);

    State state() const { return shown_; }
    // What "Clean Up…" triggers: the window's action, or the page's own.
    QAction* cleanUpAction() const { return cleanUp_; }

private:
    void modelChanged(AppModel::Field field);
    void redraw();
    // The header's second line: the running scan's label, else volume and age of the result.
    QString measuredText(const ScanResult& scan) const;
    QWidget* header(const ScanResult& scan);
    QWidget* barBlock(const ScanResult& scan);
    QWidget* safeList(const ScanResult& scan);
    QWidget* scanning();
    QWidget* noScan();

    PageContext context_;
    QAction* cleanUp_;
    QVBoxLayout* column_;
    QWidget* blocks_ = nullptr;
    QProgressBar* progress_ = nullptr;
    StyledLabel* progressLabel_ = nullptr;
    StyledLabel* measured_ = nullptr;
    State shown_ = State::noScan;
};

// One row of the safe list: a category's colour, title and explanation, how much of it can go
// safely, and "Show", which opens the page that lists the category.
class SafeRow final : public QWidget {
    Q_OBJECT
public:
    SafeRow(const PageContext& context, const Category& category, QWidget* parent = nullptr);

    CategoryID category() const { return id_; }
    // "Show": the page first, then the category, so the page opens on it.
    void showCategory();

private:
    AppModel& model_;
    StorageSelection& selection_;
    CategoryID id_;
};

} // namespace dovrane
