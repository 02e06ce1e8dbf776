// The model's window records and its state: start values, the change announcements, the
// Settings tab, the scan settings, the safe items, and the German texts.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/Notice.h"
#include "Services/JsonSettings.h"
#include "Services/ListFormat.h"
#include "Services/SettingKeys.h"
#include "Services/Translations.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <limits>

using namespace dovrane;
using namespace dovrane::testing;

namespace {
CleanupItem safeItem(const std::string& path, std::int64_t size, Safety safety = Safety::safe,
                     CleanupAction action = CleanupAction::trash) {
    return CleanupItem(Url::fromPath(path), std::nullopt, size, 1, std::nullopt, "why", "test", safety, action);
}
} // namespace

class WindowRecordsTests : public QObject {
    Q_OBJECT

private slots:
    void rawValuesAndShortcuts() {
        for (SidebarItem item : allSidebarItems)
            QCOMPARE(sidebarItemFromRaw(rawValue(item)), std::optional<SidebarItem>(item));
        QCOMPARE(shortcut(SidebarItem::developer), QChar(u'5'));
        QCOMPARE(title(SidebarItem::cleaned), QStringLiteral("Cleaned Up"));
        // Titles and other letter cases are not raw values.
        QVERIFY(!sidebarItemFromRaw(QStringLiteral("Overview")));
        QVERIFY(!sidebarItemFromRaw(QStringLiteral("Cleaned Up")));
        QCOMPARE(sidebarItemFromRaw(QStringLiteral("cleaned")), std::optional<SidebarItem>(SidebarItem::cleaned));
        QVERIFY(!settingsTabFromRaw(QStringLiteral("General")));
        QCOMPARE(settingsTabFromRaw(QStringLiteral("appearance")), std::optional<SettingsTab>(SettingsTab::appearance));
        QCOMPARE(ActiveSheet::onboarding().id(), QStringLiteral("onboarding"));
        QCOMPARE(ActiveSheet::uninstall(UninstallRequest{}).id(), QStringLiteral("uninstall"));
    }

    // Every notice the model can give, in both languages and for one and for more: one that
    // tells of a failure or of a part left undone wears the warning sign, any other the check
    // mark. A sentence added to a notice can only make it warn.
    void everyNoticeWearsTheMarkOfWhatItSays() {
        // Words only a shortfall uses; "Nicht verfügbare Simulatoren" names what was removed.
        const QRegularExpression shortfall(QStringLiteral("\\b(not|cannot|stayed|without|nicht|blieb(en)?|ohne)\\b"));
        const auto english = qScopeGuard([] { Translations::install(); });
        for (const char* language : {"en", "de"}) {
            ScopedEnv chosen("APP_LANG", language);
            QVERIFY(Translations::install());
            for (int kind = 0; kind < int(Notice::Kind::kinds); ++kind)
                for (int count : {1, 3}) {
                    const Notice notice(Notice::Kind(kind), {.count = count, .text = "12 KB", .exact = count == 1});
                    const QString what = QStringLiteral("%1 (%2)").arg(notice.text(), language);
                    QVERIFY2(!notice.text().isEmpty() && !notice.text().contains(QLatin1Char('%')), qPrintable(what));
                    QVERIFY2(notice.warns() == notice.text().contains(shortfall), qPrintable(what));
                }
        }
        Notice done(Notice::Kind::moved, {.text = "1 KB"});
        QVERIFY(!done.warns());
        QVERIFY(done.add(Notice::Kind::notMoved, {.count = 1}).warns());
        QVERIFY(Notice::following(QStringLiteral("Not emptied."), true).add(Notice::Kind::putBack).warns());
        QCOMPARE(Notice::following(std::nullopt, true).add(Notice::Kind::diagnosticsCopied).warns(), false);
    }

    void germanTextsComeWithGermanOnly() {
        {
            ScopedEnv german("APP_LANG", "de");
            QVERIFY(Translations::install());
            QCOMPARE(title(SidebarItem::overview), QStringLiteral("Übersicht"));
            QCOMPARE(title(SettingsTab::appearance), QStringLiteral("Darstellung"));
            QCOMPARE(ListFormat::conjunction({QStringLiteral("Caches"), QStringLiteral("Logs")}),
                     QStringLiteral("Caches und Logs"));
        }
        QVERIFY(Translations::install()); // English again: the German catalogue is taken out
        QCOMPARE(title(SidebarItem::overview), QStringLiteral("Overview"));
        QCOMPARE(ListFormat::conjunction({QStringLiteral("Caches"), QStringLiteral("Logs")}),
                 QStringLiteral("Caches and Logs"));
        QCOMPARE(ListFormat::conjunction({QStringLiteral("Trash")}), QStringLiteral("Trash"));
        QCOMPARE(ListFormat::conjunction({}), QString());
    }

    void startValues() {
        ModelFixture fixture;
        SettingKeys::settingsTab.set(*fixture.settings, QStringLiteral("appearance"));
        AppModel& model = fixture.makeModel();
        QCOMPARE(model.sidebar(), std::optional<SidebarItem>(SidebarItem::overview));
        QVERIFY(!model.sheet());
        QCOMPARE(model.settingsTab(), SettingsTab::appearance);
        QVERIFY(!model.scan());
        QVERIFY(!model.isScanning());
        QCOMPARE(model.volume(), std::optional<VolumeInfo>(fixture.volume));
        QVERIFY(model.hasFullDiskAccess());
        QVERIFY(model.updates().empty());
        QVERIFY(!model.updatesCheckedAt());
        QVERIFY(!model.notice());
        QVERIFY(!model.isDemo());
        QVERIFY(SettingKeys::settingsTab.stored(*fixture.settings) == QStringLiteral("appearance"));
    }

    void unknownStoredTabsStartAtGeneral_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("absent") << QVariant();
        QTest::newRow("empty") << QVariant(QString());
        QTest::newRow("a title") << QVariant(QStringLiteral("Scan"));
        QTest::newRow("not a text") << QVariant(qint64(1));
    }

    void unknownStoredTabsStartAtGeneral() {
        QFETCH(QVariant, stored);
        ModelFixture fixture;
        if (stored.isValid())
            fixture.settings->setRaw("settings.tab", stored);
        QCOMPARE(fixture.makeModel().settingsTab(), SettingsTab::general);
        QCOMPARE(fixture.settings->contains(SettingKeys::settingsTab.key()), stored.isValid()); // reading wrote nothing
    }

    void changesAreAnnouncedOnlyWhenValuesDiffer() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        model.setSidebar(SidebarItem::overview);
        model.setNotice(std::nullopt);
        model.setVolume(fixture.volume);
        ModelSeeding(model).setScanProgress(0);
        ModelSeeding(model).setScan(std::nullopt);
        ModelSeeding(model).setApps({});
        QVERIFY(log.fields.empty());

        model.setSidebar(SidebarItem::cleaned);
        model.setSidebar(SidebarItem::cleaned);
        model.setNotice(QStringLiteral("Done."));
        model.setNotice(QStringLiteral("Done."));
        model.setSidebar(std::nullopt);
        QCOMPARE(log.fields,
                 (std::vector{AppModel::Field::sidebar, AppModel::Field::notice, AppModel::Field::sidebar}));

        log.clear();
        model.setSheet(ActiveSheet::palette());
        model.setSheet(ActiveSheet::palette());
        model.setSheet(
            ActiveSheet::cleanup(CleanupRequest{QStringLiteral("A"), {}, {}, Wording::plain(QStringLiteral("A"))}));
        model.setSheet(std::nullopt);
        model.setSheet(std::nullopt);
        QCOMPARE(log.count(AppModel::Field::sheet), 5);
        QCOMPARE(int(log.fields.size()), 5);
    }

    void theSettingsTabIsWrittenOnEveryChoice() {
        ModelFixture fixture;
        {
            ScopedEnv real("APP_STORE", std::nullopt);
            AppModel& model = fixture.makeModel();
            ChangeLog log(model);
            model.setSettingsTab(SettingsTab::general); // the tab it already shows
            QVERIFY(log.fields.empty());
            QCOMPARE(SettingKeys::settingsTab.stored(*fixture.settings),
                     std::optional<QString>(QStringLiteral("general")));
            model.setSettingsTab(SettingsTab::scan);
            QCOMPARE(log.fields, std::vector{AppModel::Field::settingsTab});
            QCOMPARE(SettingKeys::settingsTab.stored(*fixture.settings),
                     std::optional<QString>(QStringLiteral("scan")));
        }
        SettingKeys::settingsTab.remove(*fixture.settings);
        AppModel& model = fixture.makeModel(); // with the test store
        model.setSettingsTab(SettingsTab::appearance);
        QCOMPARE(model.settingsTab(), SettingsTab::appearance);
        QVERIFY(!fixture.settings->contains(SettingKeys::settingsTab.key()));
    }

    void scanSettingsComeFromTheSettingsEachTime() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QCOMPARE(model.settings(), ScanSettings());

        fixture.settings->setRaw("scan.installerAge", QStringLiteral("30"));
        fixture.settings->setRaw("scan.excluded", QStringLiteral("/home/one"));
        SettingKeys::scanProjectAge.set(*fixture.settings, 45);
        SettingKeys::scanProjects.set(*fixture.settings, {QStringLiteral("/src"), QStringLiteral("/work")});
        ScanSettings expected;
        expected.projectAgeDays = 45;
        expected.projectFolders = {"/src", "/work"};
        QCOMPARE(model.settings(), expected);

        SettingKeys::scanInstallerAge.set(*fixture.settings, 0);
        SettingKeys::scanExcluded.set(*fixture.settings, {QStringLiteral("/home/one")});
        QCOMPARE(model.settings().installerAgeDays, 1);
        QCOMPARE(model.settings().excludedPaths, std::vector<std::string>{"/home/one"});
    }

    // A hand-edited file gets no age the Settings window would not offer (a project changed a
    // moment ago is never old enough, whatever number the file holds) and no project folder
    // that names none.
    void storedScanSettingsOfferNoMoreThanTheWindow() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const auto ages = [&](qint64 installer, qint64 project) {
            SettingKeys::scanInstallerAge.set(*fixture.settings, installer);
            SettingKeys::scanProjectAge.set(*fixture.settings, project);
            return std::pair(model.settings().installerAgeDays, model.settings().projectAgeDays);
        };
        QCOMPARE(ages(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::min()), std::pair(1, 7));
        QCOMPARE(ages(-3, 6), std::pair(1, 7));
        QCOMPARE(ages(1, 7), std::pair(1, 7));
        QCOMPARE(ages(365, 365), std::pair(365, 365));
        QCOMPARE(ages(366, std::numeric_limits<qint64>::max()), std::pair(365, 365));
        QCOMPARE(SettingKeys::scanProjectAge.stored(*fixture.settings),
                 std::optional<qint64>(std::numeric_limits<qint64>::max())); // reading writes nothing

        // The same from the file as a hand would write it.
        ModelFixture fromFile;
        const std::string file = fromFile / "config/Dovrane.json";
        writeFile(file, R"({"scan.projectAge": -9223372036854775808, "scan.installerAge": 0,
                            "scan.projects": ["", "/", "relative", "/etc", "./src", "/srv/code/"]})");
        Services services = fromFile.services();
        services.settings = std::make_shared<JsonSettings>(file);
        const ScanSettings read = fromFile.makeModel(std::move(services)).settings();
        QCOMPARE(std::pair(read.installerAgeDays, read.projectAgeDays), std::pair(1, 7));
        // Only folders the picker could have given; which of them the scan walks is the scan's.
        QCOMPARE(read.projectFolders, (std::vector<std::string>{"/", "/etc", "/srv/code/"}));
    }

    void safeItemsIncludeDeveloperCategories() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QVERIFY(model.safeItems().empty());
        QCOMPARE(model.safeTotal(), std::int64_t(0));

        ScanResult scan = makeScan(fixture.clock->now(), 1000, 500);
        scan.categories[size_t(position(CategoryID::caches))].items = {
            safeItem("/c/a", 10), safeItem("/c/b", 20, Safety::review),
            safeItem("/c/c", 40, Safety::safe, CleanupAction::showOnly)};
        scan.categories[size_t(position(CategoryID::xcode))].items = {safeItem("/x/d", 300)};
        ModelSeeding(model).setScan(scan);
        QCOMPARE(model.safeItems().size(), size_t(2));
        QCOMPARE(model.safeItems()[1].url.path(), std::string("/x/d"));
        QCOMPARE(model.safeTotal(), std::int64_t(310));
    }
};

DOVRANE_MODEL_SUITE(WindowRecordsTests)
#include "WindowRecordsTests.moc"
