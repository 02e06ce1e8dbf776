// Copying the diagnostics: the model's figures in the text, and nothing that names a file or app.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Services/SystemFacts.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

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

        // os-release as the shell reads it, the last assignment winning, on one short line.
        QCOMPARE(SystemFacts::prettyName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
                 std::string("Debian GNU/Linux 12 (bookworm)"));
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME='Arch Linux'"), std::string("Arch Linux"));
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME=Gentoo"), std::string("Gentoo"));
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME=\"Say \\\"hi\\\" for \\$5 \\\\o/\""),
                 std::string("Say \"hi\" for $5 \\o/"));
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME=\"A\tB\rC\"\nPRETTY_NAME=\"Second\""), std::string("Second"));
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME=\"A\tB\rC\u2028D\""), std::string("A B C D"));
        QCOMPARE(SystemFacts::prettyName("NAME=Debian\n#PRETTY_NAME=x\n PRETTY_NAME=y"), std::string());
        QCOMPARE(SystemFacts::prettyName("PRETTY_NAME=\"" + std::string(150, 'x') + "\"").size(), size_t(100));
        // Cut at 100 UTF-16 units without splitting a character beyond the BMP.
        const std::string cut = SystemFacts::prettyName("PRETTY_NAME=" + std::string(99, 'x') + "\xF0\x9F\x90\xA7");
        QCOMPARE(cut, std::string(99, 'x'));

        TempDir folder;
        const std::string etc = folder / "etc-os-release", lib = folder / "lib-os-release";
        QCOMPARE(SystemFacts::distribution({etc, lib}), std::string("Linux"));
        QVERIFY(Fs::writeFile(lib, "PRETTY_NAME=\"Fedora Linux 40\"\n"));
        QCOMPARE(SystemFacts::distribution({etc, lib}), std::string("Fedora Linux 40"));
        QVERIFY(Fs::writeFile(etc, "NAME=Custom\n"));
        QCOMPARE(SystemFacts::distribution({etc, lib}), std::string("Linux")); // the first readable one counts

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
        QVERIFY(lines[1].startsWith(QString::fromStdString(SystemFacts::distribution()) + ", kernel "));
        QVERIFY(lines[1].endsWith(QStringLiteral(", language ?")));
        QCOMPARE(lines[2], QStringLiteral("File access: on"));
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
