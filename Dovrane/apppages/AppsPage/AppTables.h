#pragma once
// The two tables of the Apps page: the installed apps, and the leftovers of apps that are gone.
// Each keeps only its view state (what is picked, the sort order) for as long as its tab shows;
// the rows come from the model on every change. Used by the Apps page alone.

#include "UiKit/SortedTableModel.h"

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/apps/Orphans.h>

#include <QWidget>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QMenu;
class QPushButton;
class QTableView;

namespace dovrane {

class AppModel;
class ContentUnavailableView;
class FooterBar;
class StyledLabel;

class InstalledTable : public QWidget {
    Q_OBJECT
public:
    enum Column { name, version, source, size, lastUsed };

    InstalledTable(AppModel& model, const QString& search, QWidget* parent = nullptr);

    void setSearch(const QString& search);
    // The apps shown: those whose name contains the search text, in the model's order.
    std::vector<InstalledApp> rows() const;
    // The picked app among all apps, also when the search hides it.
    std::optional<InstalledApp> selected() const;
    const std::optional<std::string>& picked() const { return picked_; }

    QTableView* view() const { return view_; }
    const SortedTableModel<InstalledApp>& table() const { return *table_; }
    QPushButton* removeButton() const { return remove_; }
    FooterBar* footer() const { return footer_; }
    ContentUnavailableView* emptyState() const { return empty_; }
    // The menu for the rows at these identities (paths); none when no app has one of them.
    std::unique_ptr<QMenu> menuFor(const std::set<std::string>& identities);
    // Double-click: the app of the shown row goes to the model's uninstall request.
    void primaryAction(int shownRow);

private:
    void reload();
    void refreshFooter();
    void pickedChanged();
    void showMenu(const QPoint& position);
    void requestUninstall(const InstalledApp& app);

    AppModel& model_;
    QString search_;
    std::optional<std::string> picked_;
    SortedTableModel<InstalledApp>* table_;
    QTableView* view_;
    ContentUnavailableView* empty_;
    FooterBar* footer_;
    StyledLabel* systemNote_;
    QPushButton* remove_;
    bool reloading_ = false;
};

class OrphanTable : public QWidget {
    Q_OBJECT
public:
    enum Column { identifier, where, size };

    explicit OrphanTable(AppModel& model, QWidget* parent = nullptr);

    const std::set<std::string>& picked() const { return picked_; }
    // The picked orphans in the model's order, whatever the table's sort.
    std::vector<Orphan> pickedOrphans() const;

    QTableView* view() const { return view_; }
    const SortedTableModel<Orphan>& table() const { return *table_; }
    QPushButton* trashButton() const { return trash_; }
    FooterBar* footer() const { return footer_; }
    ContentUnavailableView* emptyState() const { return empty_; }

private:
    void reload();
    void refreshFooter();
    void takeSelection();

    AppModel& model_;
    std::set<std::string> picked_;
    SortedTableModel<Orphan>* table_;
    QTableView* view_;
    ContentUnavailableView* empty_;
    FooterBar* footer_;
    QPushButton* trash_;
    bool reloading_ = false;
};

} // namespace dovrane
