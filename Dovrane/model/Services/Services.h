#pragma once
// Everything the model reaches outside itself, in one value handed to it beside the database.
// Services::system() gives the Linux implementations; tests replace any part with a double.

#include "Services/Clipboard.h"
#include "Services/Clock.h"
#include "Services/LoginItem.h"
#include "Services/Notifier.h"
#include "Services/Settings.h"
#include "Services/SystemPaths.h"
#include "Services/Workspace.h"

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/core/Url.h>
#include <DovraneKit/scan/DiskScanner.h>
#include <DovraneKit/system/CommandRunner.h>
#include <DovraneKit/system/SizeCounter.h>
#include <DovraneKit/system/ToolPaths.h>
#include <DovraneKit/system/VolumeInfo.h>
#include <DovraneKit/updates/UpdateInstaller.h>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace dovrane {

struct Services {
    using ScanFunction = std::function<ScanResult(const DiskScanner&, const DiskScanner::Progress&, std::stop_token)>;
    using VolumeReader = std::function<std::optional<VolumeInfo>(const Url&)>;
    using Measurer = std::function<Measurement(const Url&, std::stop_token)>;
    // A tool runner with the given timeout in seconds.
    using RunnerFactory = std::function<std::shared_ptr<const CommandRunner>(double timeout)>;

    std::shared_ptr<Settings> settings;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Notifier> notifier;
    std::shared_ptr<Clipboard> clipboard;

    Url home;
    // Absent: /Applications and the home folder's Applications.
    std::optional<std::vector<Url>> applicationFolders;
    std::vector<Url> caskrooms;
    // The Flatpak apps installed for the user and the system; none when absent.
    std::function<std::vector<InstalledApp>()> listFlatpaks;
    // The system's Library folder, searched for an app's leftovers.
    Url systemLibrary = Url::fromPath("/Library");

    // Called on a worker thread; the functions must not touch the model.
    ScanFunction scan;
    VolumeReader readVolume;
    Measurer measure;
    RunnerFactory makeRunner;
    // Multiplies every wait of the model's own loops; 0 in tests.
    double delayScale = 1.0;
    // Where the update installs find Homebrew and the code-signing and archive tools.
    ToolPaths tools = ToolPaths::current();
    // Called on a worker thread at each point of an update install, for a test that stops the
    // process there; none in the application.
    std::function<void(UpdateInstaller::Step)> installReached;

    // What Permissions and Admin reach: the programs they start (pkexec, the shell), the login
    // item, the running program, and how it starts a program in a session of its own (false
    // when that failed) and ends itself.
    SystemPaths systemPaths;
    std::shared_ptr<LoginItem> loginItem;
    std::string executable;
    std::function<bool(const std::vector<std::string>& argv)> startDetached;
    std::function<void()> quit;

    // The user's home, the JSON settings file, /proc, the session bus, no clipboard (the
    // application sets its own), and the library's scanner, volume reader, measurer and runner.
    static Services system();
};

} // namespace dovrane
