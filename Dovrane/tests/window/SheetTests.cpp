// The sheets and their host: what the cleanup and uninstall sheets show, their keys, that a
// confirmation acts once, that every request gets a sheet of its own, and that a replaced
// sheet's late close leaves the newer sheet alone.

#include "ContentView/SheetHost.h"
#include "QtWaits.h"
#include "Sheets/CleanupSheet.h"
#include "Sheets/OnboardingView.h"
#include "Sheets/UninstallSheet.h"
#include "Theme/Theme.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "WindowBehavior/WindowPlacement.h"
#include "WindowFixture.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>

#include <QLabel>
#include <QPointer>
#include <QPromise>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QStringList texts(const QWidget& widget) {
    QStringList all;
    for (const QLabel* label : widget.findChildren<QLabel*>())
        if (label->isVisibleTo(&widget))
            all << label->text();
    return all;
}

CleanupRequest request(std::vector<CleanupItem> items, std::vector<TrashPlan::Entry> entries,
                       std::vector<Url> refused = {}) {
    return CleanupRequest{QStringLiteral("Test"), std::move(items), TrashPlan{std::move(entries), std::move(refused)},
                          Wording::plain(QStringLiteral("Test"))};
}

InstalledApp app(const std::string& name, const Url& path, std::int64_t size) {
    InstalledApp result;
    result.bundleID = "com.example." + name;
    result.name = name;
    result.version = "2.1";
    result.path = path;
    result.size = size;
    return result;
}

Leftover leftover(const std::string& path, std::int64_t size, bool needsAdmin = false) {
    return Leftover(Url::fromPath(path), size, true, needsAdmin, "Settings of the app.");
}

// A notification service whose answers wait until the test gives them.
class SlowNotifier final : public Notifier {
public:
    std::vector<std::unique_ptr<QPromise<bool>>> answers;
    QFuture<bool> isAvailable() override {
        answers.push_back(std::make_unique<QPromise<bool>>());
        answers.back()->start();
        return answers.back()->future();
    }
    QFuture<bool> post(const QString&, const QString&, const QString&) override {
        return QtFuture::makeReadyFuture(false);
    }
    void answer(std::size_t index, bool available) {
        answers.at(index)->addResult(available);
        answers.at(index)->finish();
    }
};

template <class Sheet> Sheet* shown(ContentView& window) { return qobject_cast<Sheet*>(window.sheetHost()->current()); }

} // namespace

class SheetTests : public QObject {
    Q_OBJECT

private slots:
    void cleanupSheetShowsWhatThePlanMoves() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        CleanupItem named = fileItem(fixture, "Library/Caches/one", 1000);
        named.name = "Editor cache";
        const Url unnamed = Url::fromPath(fixture / "Library/Caches/two");
        CleanupSheet sheet(model, request({named}, {{named.url, 4'000'000, 10, false}, {unnamed, 2'000'000, 5, false}},
                                          {Url::fromPath("/etc"), Url::fromPath("/System")}));
        sheet.resize(sheet.sizeHint());
        QVERIFY(!sheet.grab().isNull());
        QCOMPARE(sheet.width(), 520);
        const QStringList shown = texts(sheet);
        QVERIFY(shown.contains("15 files, 6 MB")); // files, not entries
        QVERIFY(shown.contains("2 items are protected and stay where they are."));
        const QAbstractItemModel& entries = *sheet.entries()->model();
        QCOMPARE(entries.rowCount(), 2);
        QCOMPARE(entries.index(0, 0).data().toString(), QStringLiteral("Editor cache"));
        QCOMPARE(entries.index(1, 0).data().toString(), QStringLiteral("two")); // no item: last component
        QCOMPARE(entries.index(1, 0).data(Qt::ToolTipRole).toString(),
                 Texts::tooltip(QString::fromStdString(unnamed.path())));
        QCOMPARE(entries.index(0, 1).data().toString(), QStringLiteral("4 MB"));
        QVERIFY(sheet.confirmButton()->isEnabled());
        QVERIFY(sheet.confirmButton()->isDefault());
    }

    void cleanupSheetListsNamesInTheFindersOrder() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        std::vector<CleanupItem> items;
        std::vector<TrashPlan::Entry> entries;
        for (const char* name : {"iOS 18.6", "Sketchpad", "Version 10", "Harbor", "logbook", "Version 9"}) {
            items.push_back(fileItem(fixture, std::string("Library/Developer/") + name, 1000));
            entries.push_back({items.back().url, 1000, 1, false});
        }
        CleanupSheet sheet(model, request(items, entries));
        const QAbstractItemModel& listed = *sheet.entries()->model();
        QStringList names;
        for (int row = 0; row < listed.rowCount(); ++row)
            names << listed.index(row, 0).data().toString();
        QCOMPARE(names, (QStringList{"Harbor", "iOS 18.6", "logbook", "Sketchpad", "Version 9", "Version 10"}));
        QCOMPARE(listed.index(1, 0).data(Qt::ToolTipRole).toString(),
                 Texts::tooltip(QString::fromStdString(fixture / "Library/Developer/iOS 18.6")));
    }

    void anEmptyPlanCannotBeConfirmed() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        CleanupSheet sheet(model, request({}, {}, {Url::fromPath("/etc")}));
        QVERIFY(texts(sheet).contains("0 files, Zero KB"));
        QVERIFY(texts(sheet).contains("1 items are protected and stay where they are."));
        QVERIFY(!sheet.confirmButton()->isEnabled());
        CleanupSheet none(model, request({}, {{Url::fromPath(fixture / "x"), 1, 1, false}}));
        for (const QString& text : texts(none))
            QVERIFY2(!text.contains("protected"), qPrintable(text));
    }

    void escapeCancelsAndReturnConfirmsOnce() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        const CleanupItem item = fileItem(fixture, "Downloads/old.zip", 3000);

        await(model.requestCleanup({item}, QStringLiteral("Safe items")));
        QVERIFY(shown<CleanupSheet>(window));
        QTest::keyClick(shown<CleanupSheet>(window), Qt::Key_Escape);
        QVERIFY(!model.sheet());
        QVERIFY(Fs::exists(item.url.path()));

        await(model.requestCleanup({item}, QStringLiteral("Safe items")));
        CleanupSheet* sheet = shown<CleanupSheet>(window);
        QVERIFY(sheet);
        QTest::keyClick(sheet, Qt::Key_Return);
        QTest::keyClick(sheet, Qt::Key_Return);
        sheet->confirmButton()->click();
        QVERIFY(!model.sheet());
        DOVRANE_TRY_VERIFY(!Fs::exists(item.url.path()));
        DOVRANE_TRY_COMPARE(fixture.container().removals()->size(), std::size_t(1));
        QCoreApplication::processEvents();
        // One run of the request: a second would have failed on every path and said so.
        QCOMPARE(fixture.container().removals()->size(), std::size_t(1));
        QVERIFY(model.notice());
        QVERIFY2(!model.notice()->contains("could not"), qPrintable(*model.notice()));
    }

    void uninstallSheetTicksTotalAndRunningApp() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string prefs = fixture / "Library/Preferences/com.example.Tool.plist";
        const std::string daemon = "/Library/LaunchDaemons/com.example.Tool.plist";
        const std::string linuxData = fixture / ".local/share/com.example.Tool";
        UninstallRequest uninstall{app("Tool", Url::fromPath(fixture / "Applications/Tool.app"), 1'000'000),
                                   {leftover(prefs, 4000), leftover(daemon, 2000, true), leftover(linuxData, 0)},
                                   {prefs},
                                   true};
        UninstallSheet sheet(model, uninstall);
        sheet.resize(sheet.sizeHint());
        QVERIFY(!sheet.grab().isNull());
        QCOMPARE(sheet.width(), 560);
        const QStringList shown = texts(sheet);
        QVERIFY(shown.contains("Remove Tool?"));
        QVERIFY(shown.contains("Version 2.1, 1 MB")); // the app's own size
        QVERIFY(shown.contains("Tool is open. Dovrane asks it to quit first."));
        QCOMPARE(sheet.confirmButton()->text(), QStringLiteral("Quit and Move to Trash"));
        QCOMPARE(sheet.toggles().size(), std::size_t(3));
        // Each leftover names the folder that holds it: a Library folder by name, a Linux one by its place.
        QVERIFY(shown.contains("Preferences: Settings of the app."));
        QVERIFY(shown.contains("LaunchDaemons: Settings of the app."));
        QVERIFY(shown.contains("~/.local/share: Settings of the app."));
        QVERIFY(sheet.toggles()[0]->isChecked());
        QVERIFY(!sheet.toggles()[1]->isChecked());
        // Each reason is a secondary line in the callout role, as under a category's header.
        for (QCheckBox* toggle : sheet.toggles()) {
            const auto reasons = toggle->findChildren<LineLimitedLabel*>();
            QCOMPARE(reasons.size(), 1);
            QCOMPARE(reasons.first()->font().pixelSize(), Fonts::font(FontRole::callout).pixelSize());
            QCOMPARE(reasons.first()->palette().color(QPalette::WindowText), SemanticColors::secondaryText());
        }
        // The lock marks the administrator's leftover whether ticked or not.
        QCOMPARE(sheet.findChildren<QWidget*>("adminLock").size(), 1);
        QCOMPARE(sheet.totalLabel()->text(), QStringLiteral("Total: 1 MB"));
        QCOMPARE(sheet.total(), 1'004'000);

        sheet.toggles()[1]->click();
        QCOMPARE(sheet.total(), 1'006'000);
        sheet.toggles()[0]->click();
        sheet.toggles()[1]->click();
        QCOMPARE(sheet.total(), 1'000'000);
        QVERIFY(sheet.request().checked.empty());
        QCOMPARE(uninstall.checked, (std::set<std::string>{prefs})); // the copy, not the model's
    }

    void anAppWithoutLeftoversGoesAlone() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        UninstallSheet sheet(model, {app("Tool", Url::fromPath(fixture / "Tool.app"), 5000), {}, {}, false});
        QVERIFY(texts(sheet).contains("No leftovers found. Only the app goes to the Trash."));
        QVERIFY(!texts(sheet).contains("Leftovers"));
        QCOMPARE(sheet.confirmButton()->text(), QStringLiteral("Move to Trash"));
        QCOMPARE(sheet.total(), 5000);
        for (const QString& text : texts(sheet))
            QVERIFY(!text.contains("is open"));
    }

    void aSecondUninstallRequestGetsItsOwnSheet() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        const std::string first = makeAppBundle(fixture / "Applications/First.app", "com.example.first", "First");
        const std::string second = makeAppBundle(fixture / "Applications/Second.app", "com.example.second", "Second");
        model.setSheet(ActiveSheet::uninstall({app("First", Url::fromPath(first), 10), {}, {}, false}));
        QPointer<UninstallSheet> replaced = shown<UninstallSheet>(window);
        model.setSheet(ActiveSheet::uninstall({app("Second", Url::fromPath(second), 10), {}, {}, false}));
        UninstallSheet* sheet = shown<UninstallSheet>(window);
        QVERIFY(sheet && sheet != replaced);
        QCOMPARE(sheet->request().app.name, std::string("Second"));

        QTest::keyClick(sheet, Qt::Key_Return);
        DOVRANE_TRY_VERIFY(!Fs::exists(second));
        QVERIFY(Fs::exists(first));
    }

    void aReplacedSheetsLateCloseKeepsTheNewerOne() {
        QPointer<QDialog> palette;
        SheetHost::setPaletteMaker([&palette](AppModel&, QWidget* parent) { return palette = new QDialog(parent); });
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        model.setSheet(ActiveSheet::palette());
        QVERIFY(palette);
        // The palette's command opens onboarding, then the palette closes itself.
        model.setSheet(ActiveSheet::onboarding());
        palette->reject();
        QCoreApplication::processEvents();
        QVERIFY(model.sheet());
        QCOMPARE(model.sheet()->id(), QStringLiteral("onboarding"));
        QVERIFY(window.sheetHost()->current());
        QVERIFY(window.sheetHost()->current()->isVisible());

        // Closing the current sheet in any other way clears the model's.
        window.sheetHost()->current()->close();
        QVERIFY(!model.sheet());
        SheetHost::setPaletteMaker({});
    }

    // A sheet opens centred on its window below the menu bar and toolbar, and stays so when the
    // window is placed later (at launch the window system places it after onboarding may have
    // opened) or moved.
    void aSheetStaysCentredOnItsWindow() {
        SheetHost::setPaletteMaker([](AppModel&, QWidget* parent) {
            auto* dialog = new QDialog(parent);
            dialog->setFixedSize(240, 160);
            return dialog;
        });
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.resize(window.minimumSize());
        window.move(0, 0);
        window.show();
        model.setSheet(ActiveSheet::palette());
        QDialog* dialog = window.sheetHost()->current();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->frameGeometry().center(), WindowPlacement::sheetArea(&window).center());
        window.move(25, 70);
        QCOMPARE(dialog->frameGeometry().center(), WindowPlacement::sheetArea(&window).center());
        SheetHost::setPaletteMaker({});

        // Onboarding is taller than the smallest window: it takes the room below the toolbar,
        // centred across, its content scrolling above the footer's button.
        window.move(0, 0);
        model.setSheet(ActiveSheet::onboarding());
        dialog = window.sheetHost()->current();
        QVERIFY(dialog && dialog->isVisible());
        window.move(20, 50);
        QCOMPARE(dialog->frameGeometry().center().x(), window.frameGeometry().center().x());
        QVERIFY(WindowPlacement::sheetArea(&window).contains(dialog->frameGeometry()));
        const auto* body = dialog->findChild<QScrollArea*>();
        QVERIFY(body && body->verticalScrollBar()->isVisible());
        const auto* done = dialog->findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(done && done->isDefault() && dialog->rect().contains(done->geometry()));
    }

    // An open sheet follows its window's size: it gives way as the window shrinks and takes its
    // own height again as the window grows.
    void aSheetFollowsItsWindowsHeight() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.resize(1100, 900);
        window.show();
        model.setSheet(ActiveSheet::onboarding());
        QDialog* dialog = window.sheetHost()->current();
        QVERIFY(dialog && dialog->isVisible());
        const int natural = dialog->height();
        QVERIFY(WindowPlacement::sheetArea(&window).contains(dialog->frameGeometry()));

        window.resize(window.minimumSize());
        QVERIFY(dialog->height() < natural);
        QVERIFY(WindowPlacement::sheetArea(&window).contains(dialog->frameGeometry()));

        window.resize(1100, 900);
        QCOMPARE(dialog->height(), natural);
        QVERIFY(WindowPlacement::sheetArea(&window).contains(dialog->frameGeometry()));
    }

    // The desktop's answer about notifications may come after the user closed the sheet: it then
    // reaches nothing, and an open sheet still takes it.
    void onboardingClosedBeforeTheNotificationAnswerIsLeftAlone() {
        WindowFixture fixture;
        auto notifier = std::make_shared<SlowNotifier>();
        Services services = fixture.services();
        services.notifier = notifier;
        AppModel& model = fixture.ModelFixture::makeModel(services);
        ContentView& window = fixture.makeWindow(model);
        window.show();

        model.setSheet(ActiveSheet::onboarding());
        QPointer<QDialog> first = window.sheetHost()->current();
        QVERIFY(first);
        model.setSheet(std::nullopt);
        DOVRANE_TRY_VERIFY(!first);
        QCOMPARE(notifier->answers.size(), std::size_t(1));
        notifier->answer(0, true);
        QCoreApplication::processEvents();

        model.setSheet(ActiveSheet::onboarding());
        auto* second = qobject_cast<OnboardingView*>(window.sheetHost()->current());
        QVERIFY(second);
        QVERIFY(!second->notificationsRow()->granted());
        notifier->answer(1, true);
        DOVRANE_TRY_VERIFY(second->notificationsRow()->granted());
        model.setSheet(std::nullopt);
    }

    void sheetsTakeTheAccentAndFollowItsChange() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        ThemeStore& themes = ThemeStore::shared();
        const QString before = themes.themeID();
        const auto restore = qScopeGuard([&themes, before] { themes.setThemeID(before); });
        themes.setThemeID(QStringLiteral("violet"));
        model.setSheet(ActiveSheet::onboarding());
        QDialog* sheet = window.sheetHost()->current();
        QVERIFY(sheet);
        QCOMPARE(sheet->palette().color(QPalette::Active, QPalette::Highlight), QColor(0x7B, 0x5C, 0xFF));
        // "Done" is the sheet's default action, filled with the accent.
        auto* onboarding = qobject_cast<OnboardingView*>(sheet);
        QVERIFY(onboarding);
        QPushButton* done = onboarding->doneButton();
        QVERIFY(qobject_cast<ProminentButton*>(done) && done->isDefault());
        const auto fillOf = [done] { return done->grab().toImage().pixelColor(4, done->height() / 2); };
        QCOMPARE(fillOf(), QColor(0x7B, 0x5C, 0xFF));
        // A light accent carries the near-black text, on the sheet as on the window.
        themes.setThemeID(QStringLiteral("mint"));
        QCOMPARE(sheet->palette().color(QPalette::Active, QPalette::Highlight), QColor(0x2B, 0xC4, 0x8A));
        QCOMPARE(sheet->palette().color(QPalette::Active, QPalette::HighlightedText), QColor(0x16, 0x16, 0x1C));
        QCOMPARE(fillOf(), QColor(0x2B, 0xC4, 0x8A));
        model.setSheet(std::nullopt);
    }
};

DOVRANE_MODEL_SUITE(SheetTests)
#include "SheetTests.moc"
