#pragma once
// The Settings window: one top-level window with the tabs General, Scan and Appearance, the
// tab being the model's settingsTab both ways. Every control writes at once; there is no Apply.
// Setting a page up writes nothing: controls are filled with their signals blocked, so merely
// opening the window neither registers the login item nor stores a setting.

#include "AppModel/WindowRecords.h"

#include <QTabWidget>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace dovrane {

class AppModel;
class FolderList;
class ThemeStore;

class GeneralSettings final : public QWidget {
    Q_OBJECT
public:
    explicit GeneralSettings(AppModel& model, QWidget* parent = nullptr);

    QCheckBox* login() const { return login_; }
    QCheckBox* menuBar() const { return menuBar_; }
    QCheckBox* weekly() const { return weekly_; }
    QWidget* accessOn() const { return accessOn_; }
    QPushButton* openAccessSettings() const { return openAccess_; }
    QPushButton* showSetup() const { return showSetup_; }

private:
    void loginToggled(bool on);
    void refreshAccess();

    AppModel& model_;
    QCheckBox* login_;
    QCheckBox* menuBar_;
    QCheckBox* weekly_;
    QWidget* accessOn_;
    QPushButton* openAccess_;
    QPushButton* showSetup_;
};

class ScanSettingsView final : public QWidget {
    Q_OBJECT
public:
    explicit ScanSettingsView(AppModel& model, QWidget* parent = nullptr);

    QSpinBox* installerAge() const { return installerAge_; }
    QSpinBox* projectAge() const { return projectAge_; }
    FolderList* projects() const { return projects_; }
    FolderList* excluded() const { return excluded_; }

private:
    QSpinBox* installerAge_;
    QSpinBox* projectAge_;
    FolderList* projects_;
    FolderList* excluded_;
};

// Tabs as large as the tab on show, so the window fits each tab rather than the tallest.
class CurrentTabFits final : public QTabWidget {
    Q_OBJECT
public:
    explicit CurrentTabFits(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QSize forCurrentPage(QSize whole, QSize (QWidget::*hint)() const) const;
};

class SettingsView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 520;
    static constexpr int maxHeight = 640;

    explicit SettingsView(AppModel& model, ThemeStore& themes, QWidget* parent = nullptr);

    // Shows the window centred on mainWindow (when that is on show), or brings it forward when
    // it is on show already.
    void bringForward(const QWidget* mainWindow = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    QWidget* page(SettingsTab tab) const;

private:
    void followModel();

    AppModel& model_;
    void colourTabIcons();
    QTabWidget* tabs_;
};

} // namespace dovrane
