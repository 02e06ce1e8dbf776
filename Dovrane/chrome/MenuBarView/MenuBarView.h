#pragma once
// The menu bar item: on Linux a tray icon whose tooltip carries the free space, and the panel
// it opens (free space, a storage bar of the last scan, what grew since yesterday, the app
// updates ready, and three buttons). The panel is an ordinary widget, so it also renders in a
// window of its own where there is no tray.

#include "MenuBarView/TrayPresence.h"

#include <DovraneKit/system/VolumeInfo.h>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QVBoxLayout;

namespace dovrane {

class AppModel;
class Settings;
class StorageBar;

// "menubar.enabled": whether the item is shown. Writes go through here so the item follows
// a change at once.
class MenuBarSetting final : public QObject {
    Q_OBJECT
public:
    static MenuBarSetting& shared();
    // The item's own rule (SettingKeys::menuBarItemShown): a stored Boolean, else on unless a
    // test store is in use.
    static bool showsItem(const Settings& settings);
    void set(Settings& settings, bool on);

signals:
    void changed(bool on);
};

// What the header shows: the model's volume figures, else the last scan's, else none.
std::optional<VolumeInfo> menuBarFigures(const AppModel& model);
// The free space the item shows: the volume's, else the last scan's, else zero bytes.
QString menuBarFreeText(const AppModel& model);

class MenuBarView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 320;

    // showMainWindow shows the main window (again), raises it and activates the application.
    MenuBarView(AppModel& model, std::function<void()> showMainWindow, QWidget* parent = nullptr);

    // Re-reads the volume figures (unless demo data are shown); called each time it opens.
    void opened();

    QLabel* freeLabel() const { return free_; }
    QLabel* totalLabel() const { return total_; }
    StorageBar* storageBar() const { return bar_; }
    QLabel* growthLabel() const { return growth_; }
    QLabel* updatesLabel() const { return updates_; }
    QPushButton* showButton() const { return show_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* scanButton() const { return scan_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    std::function<void()> showMainWindow_;
    QWidget* header_;
    QLabel* free_;
    QLabel* total_;
    QVBoxLayout* barSlot_;
    StorageBar* bar_ = nullptr;
    QLabel* growth_;
    QLabel* updates_;
    QPushButton* show_;
    QPushButton* open_;
    QPushButton* scan_;
};

// The tray icon with its panel and its menu, present while the setting is on and the desktop
// has a tray, following both as they change. Without a tray there is nothing, and the main
// window's quit rule ends the process with its window.
class MenuBarItem final : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> showMainWindow;
        std::function<void()> quit;
    };
    // tray: where the desktop's tray is followed; none: the desktop's own (DesktopTray).
    MenuBarItem(AppModel& model, Actions actions, std::unique_ptr<TrayPresence> tray = {}, QObject* parent = nullptr);
    ~MenuBarItem() override;

    // Whether an icon is really on show.
    bool isShown() const;
    QSystemTrayIcon* icon() const { return icon_.get(); }
    // Opens the panel beside the icon (or near the pointer when the tray gives no place).
    void openPanel();

private:
    void follow(bool on);
    void refreshTooltip();

    AppModel& model_;
    Actions actions_;
    std::unique_ptr<TrayPresence> tray_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QMenu> menu_;
    QPointer<MenuBarView> panel_;
};

} // namespace dovrane
