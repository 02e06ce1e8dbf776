#pragma once
// What the window suites share: a model over the model suites' doubles, apps and update
// checks made to order, a login item whose answers a test chooses, and rendering in a look.

#include "support/ModelFixture.h"
#include "support/TestEnvironment.h"

#include "Services/LoginItem.h"
#include "UiKit/Appearance.h"

#include <DovraneKit/system/FileSystem.h>

#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <string>

namespace dovrane::testing {

inline InstalledApp makeApp(const std::string& name, bool isSystem = false) {
    InstalledApp app;
    app.bundleID = "com.example." + name;
    app.name = name;
    app.version = "1.0";
    // A place nothing else uses and no bundle is at, so no icon or version is read from disk.
    app.path = Url::fromPath(Path::join(testFolder(), "apps/" + name + ".app"));
    app.isSystem = isSystem;
    return app;
}

inline UpdateCheck availableFor(const InstalledApp& app) {
    UpdateInfo info;
    info.bundleID = app.bundleID;
    info.appPath = app.path;
    info.currentVersion = app.version;
    info.newVersion = "2.0";
    info.source = AppSource::sparkle;
    return UpdateCheck::available(info);
}

// Answers as a test says; a refusing item fails every change and stays as it was.
class FakeLoginItem final : public LoginItem {
public:
    std::optional<std::string> set(bool wanted) override {
        ++changes;
        if (refuses)
            return "refused";
        on = wanted;
        return std::nullopt;
    }
    bool isOn() const override { return on; }
    bool on = false;
    bool refuses = false;
    int changes = 0;
};

// Lays the widget out and paints it in the given look, so texts and geometry are settled.
inline QImage render(QWidget& widget, Look look) {
    Appearance::shared().force(look);
    widget.adjustSize();
    widget.ensurePolished();
    QImage image = widget.grab().toImage();
    Appearance::shared().force(std::nullopt);
    return image;
}

// Runs what is due on the main queue now, timers included, until nothing is left.
inline void drainMainQueue() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace dovrane::testing
