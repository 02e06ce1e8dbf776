#include "Services/Services.h"

#include "Services/ChildProcess.h"
#include "Services/JsonSettings.h"

#include <QCoreApplication>

#include <DovraneKit/apps/FlatpakApps.h>
#include <DovraneKit/system/FileSystem.h>

namespace dovrane {

Services Services::system() {
    Services services;
    services.home = Url::fromPath(Fs::homeDirectory());
    services.caskrooms = {Url::fromPath("/opt/homebrew/Caskroom"), Url::fromPath("/usr/local/Caskroom")};
    services.listFlatpaks = [] { return FlatpakApps::list(); };
    services.settings = std::make_shared<JsonSettings>();
    services.clock = std::make_shared<SystemClock>();
    services.workspace = std::make_shared<ProcWorkspace>(services.home, services.applicationFolders);
    services.notifier = std::make_shared<DBusNotifier>();
    services.clipboard = std::make_shared<NoClipboard>();
    services.scan = [](const DiskScanner& scanner, const DiskScanner::Progress& progress, std::stop_token stop) {
        return scanner.scan(progress, stop);
    };
    services.readVolume = [](const Url& url) { return VolumeInfo::read(url); };
    services.measure = [](const Url& url, std::stop_token stop) { return SizeCounter::measure(url, stop); };
    services.makeRunner = [](double timeout) -> std::shared_ptr<const CommandRunner> {
        return std::make_shared<ProcessRunner>(timeout);
    };
    services.executable = Fs::realPath("/proc/self/exe").value_or(std::string());
    // The settings file lies in "$XDG_CONFIG_HOME/Dovrane/"; the autostart folder beside it.
    auto loginItem =
        std::make_shared<AutostartEntry>(Path::parent(Path::parent(JsonSettings::defaultFile())), services.executable);
    loginItem->followExecutable();
    services.loginItem = loginItem;
    services.startDetached = [](const std::vector<std::string>& argv) {
        return ChildProcess::startInOwnSession(argv).has_value();
    };
    services.quit = [] { QCoreApplication::quit(); };
    return services;
}

} // namespace dovrane
