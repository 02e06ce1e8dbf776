#pragma once
// What the application needs of a self-update framework: whether a check may start now, word
// when that changes, and a check the user asked for. Linux has no such framework built in; a
// package that brings one supplies a controller through Updater's factory.

#include <QObject>

namespace dovrane {

class UpdaterController : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~UpdaterController() override = default;

    // Callable from any thread.
    virtual bool canCheckForUpdates() const = 0;
    // Starts a check with the framework's own dialogs. Main thread.
    virtual void checkForUpdates() = 0;

signals:
    // canCheckForUpdates() may have changed; may be emitted on any thread.
    void canCheckForUpdatesChanged();
};

} // namespace dovrane
