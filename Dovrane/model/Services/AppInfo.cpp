#include "Services/AppInfo.h"

namespace dovrane::AppInfo {

std::optional<QString> string(const QString& key) {
    if (key == QLatin1String("CFBundleShortVersionString"))
        return QStringLiteral(DOVRANE_VERSION);
    if (key == QLatin1String("CFBundleVersion") && !QStringLiteral(DOVRANE_BUILD_NUMBER).isEmpty())
        return QStringLiteral(DOVRANE_BUILD_NUMBER);
    return std::nullopt;
}

} // namespace dovrane::AppInfo
