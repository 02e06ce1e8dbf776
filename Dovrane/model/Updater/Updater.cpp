#include "Updater/Updater.h"

#include "Services/AppInfo.h"
#include "Store/Store.h"

namespace dovrane {

Updater& Updater::shared() {
    static Updater* instance = new Updater(AppInfo::string, {}, Store::isOverridden());
    return *instance;
}

Updater::Updater(const InfoSource& info, const ControllerFactory& makeController, bool testStore, QObject* parent)
    : QObject(parent) {
    if (testStore || !info || !info(QStringLiteral("SUFeedURL")) || !makeController)
        return;
    controller_ = makeController();
    if (!controller_)
        return;
    setCanCheck(controller_->canCheckForUpdates());
    // The signal's own moment is not trusted: the value is read afresh when the call arrives.
    observation_ = connect(
        controller_.get(), &UpdaterController::canCheckForUpdatesChanged, this,
        [this] { setCanCheck(controller_ && controller_->canCheckForUpdates()); }, Qt::QueuedConnection);
}

Updater::~Updater() { disconnect(observation_); }

void Updater::checkForUpdates() {
    if (controller_)
        controller_->checkForUpdates();
}

void Updater::setCanCheck(bool value) {
    if (canCheck_ == value)
        return;
    canCheck_ = value;
    emit canCheckChanged(value);
}

} // namespace dovrane
