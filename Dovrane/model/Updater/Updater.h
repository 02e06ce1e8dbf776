#pragma once
// The application's own updates: owns the self-update controller, if there is one, and
// publishes whether "Check for Updates…" may run now. Self-update is off for a whole run when a
// test store is in use or the application names no update feed ("SUFeedURL"); Dovrane's
// packages name none, as its updates come with the package, so the command stays disabled.

#include "Updater/UpdaterController.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace dovrane {

class Updater final : public QObject {
    Q_OBJECT

public:
    // A value of the application's information ("SUFeedURL", ...), absent when it names none.
    using InfoSource = std::function<std::optional<QString>(const QString& key)>;
    // Builds the controller, its updater started; may give none.
    using ControllerFactory = std::function<std::unique_ptr<UpdaterController>()>;

    // The one instance, made on first use with the application's information, the test store's
    // switch and no framework. Main thread.
    static Updater& shared();

    // For shared() and tests: self-update is on only without a test store and with a feed.
    Updater(const InfoSource& info, const ControllerFactory& makeController, bool testStore, QObject* parent = nullptr);
    ~Updater() override;

    // Absent when self-update is off.
    UpdaterController* controller() const { return controller_.get(); }
    // A check may start now; always false without a controller.
    bool canCheck() const { return canCheck_; }

    // The menu command's action: a check through the controller, if there is one.
    void checkForUpdates();

signals:
    void canCheckChanged(bool canCheck);

private:
    void setCanCheck(bool value);

    std::unique_ptr<UpdaterController> controller_;
    bool canCheck_ = false;
    // Queued to this object's thread and cut when it ends, so canCheck is written on the main
    // thread only and never after the updater is gone.
    QMetaObject::Connection observation_;
};

} // namespace dovrane
