#pragma once
// The main window's menus: "Dovrane" (Settings…, Check for Updates…, Quit Dovrane), "Disk",
// "View" and "Help". Enabled states follow the model the moment it changes. Ctrl stands for the
// Command key throughout. The keyboard reaches every menu: F10 opens the first, Alt with a
// title's underlined letter opens that one, and each item has a letter of its own in its menu.

#include "AppModel/WindowRecords.h"

#include <QAction>
#include <QMainWindow>
#include <QObject>

#include <functional>
#include <map>

namespace dovrane {

class AppModel;
class Updater;

class Menus final : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openSettings;
        std::function<void()> quit;
    };

    // The menus go into window's menu bar; sidebar and toolbar are what View shows and hides.
    Menus(QMainWindow& window, AppModel& model, Updater& updater, QWidget& sidebar, QWidget& toolbar, Actions actions);

    QAction* settings = nullptr;
    QAction* checkForUpdates = nullptr;
    QAction* quit = nullptr;
    QAction* scanAgain = nullptr;
    QAction* stopScan = nullptr;
    QAction* cleanUpSafeItems = nullptr;
    QAction* commandPalette = nullptr;
    QAction* showSidebar = nullptr;
    QAction* showToolbar = nullptr;
    std::map<SidebarItem, QAction*> pages;
    QAction* setupAndPermissions = nullptr;
    QAction* openFileAccessSettings = nullptr;
    QAction* copyDiagnostics = nullptr;
    QAction* emailSupport = nullptr;
    // F10, held by the window, not shown in a menu.
    QAction* openMenus = nullptr;

    // Where "Email Support" writes.
    static QUrl supportAddress();

private:
    void refresh();

    AppModel& model_;
    Updater& updater_;
};

// Line edits take Ctrl+K for themselves on X11 (delete to the end of the line); this lets it
// reach "Command Palette…" from any text field. Installed on the application.
class PaletteKeyFilter final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A sheet blocks its window, and the window's menu bar with it, so Ctrl+Q pressed in a sheet (or
// in any other window of ours) never reaches "Quit Dovrane": this takes it there. Installed on
// the application. Where the menu's shortcut is reachable it acts first and the key never
// arrives here, so Quit runs once.
class QuitKeyFilter final : public QObject {
    Q_OBJECT
public:
    QuitKeyFilter(QAction& quit, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction& quit_;
};

} // namespace dovrane
