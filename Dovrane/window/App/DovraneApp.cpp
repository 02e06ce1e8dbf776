#include "App/DovraneApp.h"

#include "App/AppDelegate.h"
#include "App/Menus.h"
#include "App/SingleInstance.h"
#include "App/StartupProblem.h"
#include "ContentView/AppPages.h"
#include "ContentView/ContentView.h"
#include "ContentView/DiskPages.h"
#include "Store/Store.h"
#include "Theme/Theme.h"
#include "Updater/Updater.h"
#include "WindowBehavior/WindowPlacement.h"

#include <QApplication>

namespace dovrane {

DovraneApp::DovraneApp(std::vector<std::string> arguments, ModelContainer& container, Services services,
                       Launch::DeveloperRuns developerRuns)
    : arguments_(arguments), launch_(std::move(arguments), std::move(developerRuns)) {
    ThemeStore::useSettings(*services.settings);
    themeApplication();
    model_ = std::make_unique<AppModel>(container, std::move(services));
    launch_.startScanEarly(*model_);
    Updater::shared();

    // Closing the window decides by the quit rule, not by Qt's last-window rule.
    qApp->setQuitOnLastWindowClosed(false);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { AppDelegate::willTerminate(arguments_); });

    window_ = std::make_unique<ContentView>(*model_, [this] {
        launch_.run(*model_, [this] { openSettings(); });
        AppDelegate::open(std::exchange(pendingOpen_, {}));
        // Over whatever sheet the launch steps opened: the user reads this first.
        if (!startProblems_.isEmpty())
            StartupProblem::showOver(window_.get(), std::exchange(startProblems_, {}));
    });
    connect(window_.get(), &ContentView::closed, this, &DovraneApp::windowClosed);
    menus_ = new Menus(*window_, *model_, Updater::shared(), *window_->sidebar(), *window_->toolbar(),
                       {[this] { openSettings(); }, [this] { quit(); }});
    window_->setCleanUpSafeItems(menus_->cleanUpSafeItems);
    DiskPages::install(*menus_->cleanUpSafeItems);
    AppPages::install();
    // The window was built before its pages could be: replace the stand-in it shows.
    window_->showPage();
    // Enabled once the Settings window gives its opener.
    menus_->settings->setEnabled(false);
    // A click on a notification brings the window; the update notice opens its page.
    if (const auto& notifier = model_->services().notifier)
        notifier->setActivation([this](const QString& identifier) {
            if (identifier == QLatin1String("updates"))
                model_->setSidebar(SidebarItem::updates);
            showMainWindow();
        });
    paletteKeys_ = new PaletteKeyFilter(this);
    qApp->installEventFilter(paletteKeys_);
    quitKeys_ = new QuitKeyFilter(*menus_->quit, this);
    qApp->installEventFilter(quitKeys_);
}

DovraneApp::~DovraneApp() {
    qApp->removeEventFilter(paletteKeys_);
    qApp->removeEventFilter(quitKeys_);
    if (const auto& notifier = model_->services().notifier)
        notifier->setActivation(nullptr);
    // The window observes the model, so it goes first.
    window_.reset();
}

void DovraneApp::showMainWindow() { WindowPlacement::bringToFront(window_.get()); }

void DovraneApp::quit() { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); }

void DovraneApp::setSettingsOpener(std::function<void()> opener) {
    settingsOpener_ = std::move(opener);
    menus_->settings->setEnabled(bool(settingsOpener_));
}

void DovraneApp::openSettings() {
    if (settingsOpener_)
        settingsOpener_();
}

void DovraneApp::setMenuBarItemShown(std::function<bool()> shown) { menuBarItemShown_ = std::move(shown); }

bool DovraneApp::keepsRunningWithoutWindow() const {
    if (AppDelegate::shouldTerminateAfterLastWindowClosed(*model_->services().settings, Store::isOverridden()))
        return false;
    // Never an invisible process: without a menu bar item on show there is no way back.
    return menuBarItemShown_ && menuBarItemShown_();
}

void DovraneApp::windowClosed() {
    if (!keepsRunningWithoutWindow())
        quit();
}

void DovraneApp::listenForOtherStarts() {
    if (SingleInstance::isExcluded(arguments_))
        return;
    instance_ = new SingleInstance(
        [this](const std::vector<Url>& urls) {
            // A start with no apps only asks for the window.
            showMainWindow();
            AppDelegate::open(urls);
        },
        this);
    instance_->listen();
}

} // namespace dovrane
