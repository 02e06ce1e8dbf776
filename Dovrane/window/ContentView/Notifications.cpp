#include "ContentView/Notifications.h"

namespace dovrane {

AppNotifications& AppNotifications::shared() {
    static AppNotifications center;
    return center;
}

void AppNotifications::post(const QString& name, const QVariant& object) { emit posted(name, object); }

} // namespace dovrane
