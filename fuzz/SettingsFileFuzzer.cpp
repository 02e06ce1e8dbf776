// The settings file as any program may have left it: every typed read answers or is absent,
// and the next write leaves a file that reads back, the damaged one kept beside it.
#include "DovraneKit/system/FileSystem.h"
#include "FuzzSupport.h"
#include "Services/JsonSettings.h"

#include <QCoreApplication>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QCoreApplication* application = [] {
        static int argc = 1;
        static char name[] = "SettingsFileFuzzer";
        static char* argv[] = {name, nullptr};
        return new QCoreApplication(argc, argv);
    }();
    (void)application;
    const std::string folder = Path::join(fuzz::scratch(), "settings");
    Fs::removeAll(folder);
    const std::string file = fuzz::writeScratchFile("settings/Dovrane.json", fuzz::text(data, size));

    JsonSettings settings(file);
    for (const QString& key : {QStringLiteral("settings.tab"), QStringLiteral("scan.projects"),
                               QStringLiteral("notify.updates.last"), QStringLiteral("scan.projectAge")}) {
        (void)settings.integer(key);
        (void)settings.boolean(key);
        (void)settings.text(key);
        (void)settings.texts(key);
        (void)settings.date(key);
    }
    settings.setText(QStringLiteral("fuzz.written"), QStringLiteral("yes"));
    fuzz::check(settings.text(QStringLiteral("fuzz.written")) == QStringLiteral("yes"), "a write reads back");
    return 0;
}
