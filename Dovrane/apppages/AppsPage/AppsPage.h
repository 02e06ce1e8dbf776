#pragma once
// The Apps page: the installed apps and the leftovers of apps that are gone, on two tabs. An
// app's removal starts here (the model's uninstall request); picked leftovers go to the
// model's cleanup request. The page lists, measures and removes nothing itself.
//
// Its search field ("Search apps") belongs in the main window's toolbar while the page shows:
// the window takes searchField() and places it; the page deletes it when it goes.

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QButtonGroup;
class QProgressBar;
class QVBoxLayout;

namespace dovrane {

class AppModel;
class InstalledTable;
class OrphanTable;
class LineLimitedLabel;

// The toolbar's search field. Ctrl+K is left to the window (the command palette), where a line
// edit would take it for "delete to the end of the line".
class SearchField : public QLineEdit {
    Q_OBJECT
public:
    explicit SearchField(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
};

class AppsPage : public QWidget {
    Q_OBJECT
public:
    enum class Tab { installed, orphans };
    static QString rawValue(Tab tab);

    // accessHint: the window's Full Disk Access hint, shown at the top of the header.
    explicit AppsPage(AppModel& model, QWidget* accessHint = nullptr, QWidget* parent = nullptr);
    ~AppsPage() override;

    Tab tab() const { return tab_; }
    void setTab(Tab tab);
    QString search() const;
    QLineEdit* searchField() const { return search_; }

    // The table of the tab on show; the other one does not exist.
    InstalledTable* installedTable() const { return installed_; }
    OrphanTable* orphanTable() const { return orphans_; }
    QAbstractButton* tabButton(Tab tab) const;
    QWidget* header() const { return header_; }

protected:
    // Each time the page comes on screen the model lists the apps, once per process.
    void showEvent(QShowEvent* event) override;

private:
    void modelChanged();
    void showTable();

    AppModel& model_;
    Tab tab_ = Tab::installed;
    QPointer<QLineEdit> search_;
    QWidget* header_;
    QButtonGroup* tabs_;
    QProgressBar* busy_;
    LineLimitedLabel* hint_;
    QVBoxLayout* column_;
    InstalledTable* installed_ = nullptr;
    OrphanTable* orphans_ = nullptr;
};

} // namespace dovrane
