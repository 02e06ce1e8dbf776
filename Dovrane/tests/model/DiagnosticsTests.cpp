// Copying the diagnostics: the model's figures in the text, and nothing that names a file or app.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Services/SystemFacts.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

class DiagnosticsTests : public QObject {
    Q_OBJECT

private slots:
    void systemFacts() {
        QCOMPARE(SystemFacts::threeNumberVersion("6.1.0-18-amd64"), std::string("6.1.0"));
        QCOMPARE(SystemFacts::threeNumberVersion("5.15"), std::string("5.15.0"));
        QCOMPARE(SystemFacts::threeNumberVersion("6"), std::string("6.0.0"));
        QCOMPARE(SystemFacts::threeNumberVersion("6.8.12+deb13"), std::string("6.8.12"));
        QCOMPARE(SystemFacts::threeNumberVersion("unknown"), std::string("0.0.0"));
        QCOMPARE(SystemFacts::languageTag("de_DE.UTF-8"), std::string("de-DE"));
        QCOMPARE(SystemFacts::languageTag("sr_RS@latin"), std::string("sr-RS"));
        QCOMPARE(SystemFacts::languageTag("en"), std::string("en"));
        QCOMPARE(SystemFacts::languageTag("C.UTF-8"), std::string());
        QCOMPARE(SystemFacts::languageTag("POSIX"), std::string());

        ScopedEnv lang("LANG", "C.UTF-8");
        QCOMPARE(SystemFacts::preferredLanguageTag(), std::string("?"));
        ScopedEnv messages("LC_MESSAGES", "fr_CH.UTF-8");
        QCOMPARE(SystemFacts::preferredLanguageTag(), std::string("fr-CH"));
        ScopedEnv language("LANGUAGE", "de_AT:en");
        QCOMPARE(SystemFacts::preferredLanguageTag(), std::string("de-AT"));
    }

    void copiesVersionsAndCountsOnly() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ScanResult scan = makeScan(fixture.clock->now().adding(-5 * 3600), 1000, 500);
        scan.categories[size_t(position(CategoryID::caches))].items = {
            CleanupItem(Url::fromPath("/home/someone/Library/Caches/com.secret.Tool"), std::string("Secret Tool"),
                        2'500'000, 3, std::nullopt, "why", "caches.app", Safety::safe, CleanupAction::trash)};
        ModelSeeding(model).setScan(scan);
        InstalledApp user, system;
        user.bundleID = "com.secret.Tool";
        user.name = "Secret Tool";
        user.path = Url::fromPath("/Applications/Secret Tool.app");
        system = user;
        system.isSystem = true;
        ModelSeeding(model).setApps({user, system, user});
        UpdateInfo info;
        info.bundleID = "com.secret.Tool";
        ModelSeeding(model).setUpdates({{"/Applications/Secret Tool.app", UpdateCheck::available(info)}});
        ModelSeeding(model).setUpdatesCheckedAt(fixture.clock->now().adding(-50 * 3600));
        fixture.container().insert(
            std::make_shared<Removal>(Date(), QStringLiteral("Secret Tool"), std::vector<RemovedItem>{}));
        QVERIFY(fixture.container().save());

        model.copyDiagnostics();
        QCOMPARE(fixture.clipboard->copied.size(), 1);
        const QString text = fixture.clipboard->copied.first();
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], QStringLiteral("Dovrane 1.0 (?)"));
        QVERIFY(lines[1].startsWith(QStringLiteral("macOS ")));
        QVERIFY(lines[1].endsWith(QStringLiteral(", language ?")));
        QCOMPARE(lines[2], QStringLiteral("Full Disk Access: on"));
        QCOMPARE(lines[3], QStringLiteral("Last scan: 5 h ago, 16 categories, 2 MB safe to remove"));
        QCOMPARE(lines[4], QStringLiteral(
                               "Apps: 2, updates checked 2 days ago: available 1, current 0, failed 0, unsupported 0"));
        QCOMPARE(lines[5], QStringLiteral("Cleanups in the journal: 1"));
        for (const char* secret : {"Secret", "secret", "/home", "Applications", ".app"})
            QVERIFY2(!text.contains(QLatin1String(secret)), secret);
        QCOMPARE(model.notice(), std::optional<QString>(QStringLiteral(
                                     "Diagnostics copied. They hold versions and counts, no file or app names.")));
    }
};

DOVRANE_MODEL_SUITE(DiagnosticsTests)
#include "DiagnosticsTests.moc"
