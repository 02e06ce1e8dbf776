#include "Snapshot/Snapshot.h"

#include "AppModel/AppModel.h"
#include "MenuBarView/MenuBarView.h"
#include "Snapshot/Capture.h"
#include "Snapshot/Pausing.h"
#include "Store/Store.h"
#include "Theme/Theme.h"
#include "UiKit/Appearance.h"

#include <DovraneKit/core/TextPieces.h>
#include <DovraneKit/system/FileSystem.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVBoxLayout>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace dovrane::Snapshot {

namespace {

// The pauses that let each view settle (lay out, paint, open) before its capture, in ms.
constexpr int startPause = 1500;
constexpr int pagePause = 800;
constexpr int sheetOpenPause = 1000;
constexpr int sheetClosePause = 600;
constexpr int menuBarPause = 800;
constexpr int settingsOpenPause = 1000;
constexpr int settingsTabPause = 800;

constexpr std::array<std::string_view, 2> looks = {"light", "dark"};

// The panel's size when it has no size hint of its own.
constexpr QSize menuBarFallbackSize(320, 240);

// The offscreen platform has no window system to tell a window's size limits, and says so each
// time the Settings window takes the height of another tab. That says nothing about the views
// captured, so the run leaves that one line out; every other message passes on.
QtMessageHandler passedOn = nullptr;

void withoutSizeHintNotices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    if (passedOn)
        passedOn(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

struct Run {
    std::string folder;
    std::optional<std::set<std::string>> filter;
    AppModel& model;
    std::function<void()> openSettings;

    bool includes(const std::string& key) const { return !filter || filter->contains(key); }
    // The folder, "/", the view's name, "-", the look, ".png".
    std::string imagePath(const std::string& view, std::string_view look) const {
        return folder + "/" + view + "-" + std::string(look) + ".png";
    }
};

void setLook(std::string_view look) { Appearance::shared().force(look == "light" ? Look::light : Look::dark); }

// Asks the desktop's screensaver not to blank the display while the run lasts. The inhibition
// belongs to the bus connection, so it holds until the process ends. No desktop bus, no ask.
void keepDisplayAwake() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage inhibit =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"),
                                       QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    inhibit << QCoreApplication::applicationName() << QStringLiteral("Snapshots");
    bus.asyncCall(inhibit);
}

// Ends the event loop with the code once it runs; a quit asked before it runs would be lost.
void endApplication(int code) {
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

struct SheetStep {
    std::string_view name;
    void (*open)(AppModel& model);
};

// What opens each sheet. Cleanup needs a scan and uninstall an app; without them nothing opens
// and the capture falls back to the main window.
const std::array<SheetStep, 4> sheetSteps = {{
    {"onboarding", [](AppModel& model) { model.setSheet(ActiveSheet::onboarding()); }},
    {"cleanup",
     [](AppModel& model) {
         if (model.scan())
             model.requestCleanup(model.scan()->safeItems(true), Wording::safeItems());
     }},
    {"uninstall",
     [](AppModel& model) {
         if (!model.apps().empty())
             (void)model.requestUninstall(model.apps().front());
     }},
    {"palette", [](AppModel& model) { model.setSheet(ActiveSheet::palette()); }},
}};

QWidget* visibleSheet() {
    for (QWidget* window : windowList())
        if (isSheet(window))
            return window;
    return nullptr;
}

Subtask capturePages(const Run& run) {
    for (std::string_view look : looks) {
        setLook(look);
        for (SidebarItem item : allSidebarItems) {
            const std::string name = rawValue(item).toStdString();
            if (!run.includes(name))
                continue;
            run.model.setSidebar(item);
            co_await Pause(pagePause);
            const std::string path = run.imagePath(name, look);
            co_await capture(path, nullptr);
        }
    }
}

Subtask captureSheets(const Run& run) {
    for (std::string_view look : looks) {
        setLook(look);
        for (const SheetStep& step : sheetSteps) {
            const std::string key = "sheet-" + std::string(step.name);
            if (!run.includes(key))
                continue;
            run.model.setSidebar(SidebarItem::overview);
            step.open(run.model);
            co_await Pause(sheetOpenPause);
            const std::string path = run.imagePath(key, look);
            co_await capture(path, visibleSheet());
            // Closes the sheet without acting on it.
            run.model.setSheet(std::nullopt);
            co_await Pause(sheetClosePause);
        }
    }
}

// The menu bar item's panel in a plain window of its own, so it renders without a tray.
Subtask captureMenuBar(const Run& run) {
    const std::string key = "menubar";
    if (!run.includes(key))
        co_return;
    QPointer<QWidget> window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new MenuBarView(run.model, {}, window));
    themed(window);
    const QSize fitting = window->sizeHint();
    window->setGeometry(QRect(QPoint(200, 200), fitting.isValid() ? fitting : menuBarFallbackSize));
    // Its least size settled before the window exists, so showing it sends no size hints.
    layout->activate();
    for (std::string_view look : looks) {
        setLook(look);
        if (window)
            bringToFront(window);
        co_await Pause(menuBarPause);
        const std::string path = run.imagePath(key, look);
        co_await capture(path, window);
    }
    if (window)
        window->close();
}

// The Settings window: the visible window that is neither the main window remembered before it
// opened nor a sheet. Without one the capture takes the main window.
Subtask captureSettings(const Run& run) {
    const std::string key = "settings";
    if (!run.includes(key))
        co_return;
    const QPointer<QWidget> main = mainWindow();
    if (run.openSettings)
        run.openSettings();
    co_await Pause(settingsOpenPause);
    for (std::string_view look : looks) {
        setLook(look);
        for (SettingsTab tab : allSettingsTabs) {
            run.model.setSettingsTab(tab);
            co_await Pause(settingsTabPause);
            QWidget* settingsWindow = nullptr;
            for (QWidget* window : windowList())
                if (window != main && !isSheet(window)) {
                    settingsWindow = window;
                    break;
                }
            const std::string path = run.imagePath(key + "-" + rawValue(tab).toStdString(), look);
            co_await capture(path, settingsWindow);
        }
    }
}

DetachedTask perform(Run run) {
    // The run starts once the launch steps have returned.
    co_await Pause(0);
    keepDisplayAwake();
    // A folder that cannot be made shows later: no image is written, so no line is printed.
    (void)Fs::makeDirectories(run.folder);
    co_await Pause(startPause);
    co_await capturePages(run);
    co_await captureSheets(run);
    co_await captureMenuBar(run);
    co_await captureSettings(run);
    say("done " + run.folder);
    run.model.setSheet(std::nullopt);
    endApplication(0);
}

} // namespace

std::optional<std::set<std::string>> stepFilter(const char* value) {
    if (!value)
        return std::nullopt;
    std::set<std::string> keys;
    for (std::string_view key : splitDroppingEmpty(value, ','))
        keys.emplace(key);
    return keys;
}

std::optional<std::string> refusal() {
    const char* folder = std::getenv("APP_SNAPSHOT");
    return folder && *folder ? Store::refusalLine("SNAPSHOT") : std::nullopt;
}

void runIfRequested(AppModel& model, std::function<void()> openSettings) {
    const char* folder = std::getenv("APP_SNAPSHOT");
    if (!folder || !*folder)
        return;
    if (!Store::isOverridden()) {
        say("refused: set APP_STORE to a file in /tmp");
        // Not a success: a script that forgot the test store gets no image at all.
        endApplication(1);
        return;
    }
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        passedOn = qInstallMessageHandler(withoutSizeHintNotices);
    perform(Run{folder, stepFilter(std::getenv("APP_SNAPSHOT_PAGES")), model, std::move(openSettings)});
}

} // namespace dovrane::Snapshot
