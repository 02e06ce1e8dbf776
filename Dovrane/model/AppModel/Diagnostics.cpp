// The diagnostics summary on the clipboard.

#include "AppModel/AppModel.h"
#include "AppModel/Notice.h"

#include "Services/AppInfo.h"
#include "Services/SystemFacts.h"

#include <DovraneKit/scan/DiagnosticReport.h>

namespace dovrane {

void AppModel::copyDiagnostics() {
    const auto info = [](const char* key) {
        return AppInfo::string(QString::fromLatin1(key)).value_or(QStringLiteral("?")).toStdString();
    };
    DiagnosticReport report;
    report.appVersion = info("CFBundleShortVersionString");
    report.build = info("CFBundleVersion");
    report.system = SystemFacts::distribution();
    report.kernel = SystemFacts::kernelVersion();
    report.architecture = SystemFacts::machine();
    report.language = SystemFacts::preferredLanguageTag();
    report.fullDiskAccess = hasFullDiskAccess_;
    report.lastScan = scan() ? std::optional<Date>(scan()->date) : std::nullopt;
    report.categories = scan() ? int(scan()->categories.size()) : 0;
    report.safeBytes = safeTotal();
    report.appsInstalled =
        int(std::count_if(apps_.begin(), apps_.end(), [](const InstalledApp& app) { return !app.isSystem; }));
    report.updates = UpdateCheck::countKinds(updates_);
    report.updatesCheckedAt = updatesCheckedAt_;
    report.cleanups = container_.removalCount().value_or(0);
    services_.clipboard->setText(QString::fromStdString(report.text(services_.clock->now())));
    setNotice(Notice(Notice::Kind::diagnosticsCopied));
}

} // namespace dovrane
