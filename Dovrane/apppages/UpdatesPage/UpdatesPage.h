#pragma once
// The Updates page: what the last check found. Available updates as cards with their own
// install buttons, one button for all, the apps whose check failed with the reason, and two
// collapsed groups (up to date, not checked). Everything is read from the model; each control
// is one model call. Its own state is only which groups and release notes are open.

#include "UpdatesPage/UpdateCard.h"

#include <QWidget>

#include <map>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QToolButton;
class QVBoxLayout;

namespace dovrane {

class AppModel;
class ContentUnavailableView;

class UpdatesPage : public QWidget {
    Q_OBJECT
public:
    explicit UpdatesPage(AppModel& model, QWidget* parent = nullptr);

    // Walk the model's apps in order and look each one's result up by its path.
    ReasonList::Rows failed() const;
    std::vector<InstalledApp> current() const;
    // Unsupported apps that are not part of the system.
    ReasonList::Rows unsupported() const;

    bool showsResults() const;
    ContentUnavailableView* emptyState() const { return empty_; }
    QLabel* title() const { return title_; }
    QProgressBar* progress() const { return progress_; }
    QLabel* checked() const { return checked_; }
    QPushButton* checkNow() const { return checkNow_; }
    QPushButton* updateAll() const { return updateAll_; }
    QWidget* allUpToDate() const { return allUpToDate_; }
    // The line shown instead when every check failed.
    QWidget* noneChecked() const { return noneChecked_; }
    // The cards in the order shown.
    std::vector<UpdateCard*> cards() const;
    QWidget* failedSection() const { return failedSection_; }
    QToolButton* currentToggle() const { return currentToggle_; }
    QToolButton* unsupportedToggle() const { return unsupportedToggle_; }
    QWidget* currentGroup() const { return currentGroup_; }
    QWidget* unsupportedGroup() const { return unsupportedGroup_; }

private:
    void refresh();
    void refreshHeader();
    void refreshCards();
    void refreshLists();
    void followPageOrder();
    void pressUpdateAll();

    AppModel& model_;
    QStackedLayout* stack_;
    ContentUnavailableView* empty_;
    QScrollArea* results_;
    QLabel* title_;
    QProgressBar* progress_;
    QLabel* checked_;
    QPushButton* checkNow_;
    QPushButton* updateAll_;
    bool updateAllPending_ = false;
    QWidget* allUpToDate_;
    QWidget* noneChecked_;
    QVBoxLayout* cardColumn_;
    std::map<std::string, UpdateCard*> cards_;
    QWidget* failedSection_;
    QVBoxLayout* failedColumn_;
    QToolButton* currentToggle_;
    QWidget* currentGroup_;
    QToolButton* unsupportedToggle_;
    QWidget* unsupportedGroup_;
};

} // namespace dovrane
