#pragma once
// The application set-up: owns the one model for the life of the process, the main window with
// its menus, the launch steps and the rules for opening apps and for ending. Made once, after
// the QApplication and before its event loop.

#include "Launch/Launch.h"
#include "Services/ModelContainer.h"
#include "Services/Services.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dovrane {

class AppModel;
class ContentView;
class Menus;
class PaletteKeyFilter;
class QuitKeyFilter;
class SingleInstance;

class DovraneApp final : public QObject {
    Q_OBJECT
public:
    // arguments: the launch arguments; the container must outlive the application.
    DovraneApp(std::vector<std::string> arguments, ModelContainer& container, Services services,
               Launch::DeveloperRuns developerRuns = {});
    ~DovraneApp() override;

    AppModel& model() const { return *model_; }
    ContentView& window() const { return *window_; }
    Menus& menus() const { return *menus_; }

    // Shows the main window (again) and brings it to the front; the launch steps run when it
    // was not on show.
    void showMainWindow();
    // Asks the event loop to end; asked before the loop runs, it is kept until it does.
    void quit();

    // The Settings window's opener, given by the Settings window when it exists.
    void setSettingsOpener(std::function<void()> opener);
    void openSettings();
    // Whether the menu bar item is really on show (the desktop has a tray and the item is
    // enabled); without one, closing the window ends the process.
    void setMenuBarItemShown(std::function<bool()> shown);
    // The quit rule, applied when the main window closes.
    bool keepsRunningWithoutWindow() const;

    // What the start found wrong (StartupProblem::openForWindow), shown over the window once its
    // first launch steps have run.
    void tellAtLaunch(QString problems) { startProblems_ = std::move(problems); }
    // Apps given on the command line: handed over once the launch steps have run.
    void openAfterLaunch(std::vector<Url> urls) { pendingOpen_ = std::move(urls); }
    // Takes later starts' apps over the local socket, unless a test store or developer mode
    // is in use.
    void listenForOtherStarts();

private:
    void windowClosed();

    std::vector<std::string> arguments_;
    std::unique_ptr<AppModel> model_;
    Launch::Sequence launch_;
    std::vector<Url> pendingOpen_;
    QString startProblems_;
    std::function<void()> settingsOpener_;
    std::function<bool()> menuBarItemShown_;
    std::unique_ptr<ContentView> window_;
    Menus* menus_ = nullptr;
    PaletteKeyFilter* paletteKeys_ = nullptr;
    QuitKeyFilter* quitKeys_ = nullptr;
    SingleInstance* instance_ = nullptr;
};

} // namespace dovrane
