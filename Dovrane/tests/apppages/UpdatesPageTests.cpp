// The Updates page over update results set by hand: its two states, the derived lists, the
// cards and every install button reaching the model once.

#include "AppModel/ModelSeeding.h"
#include "PageTestSupport.h"
#include "QtWaits.h"
#include "Services/Translations.h"
#include "Theme/Theme.h"
#include "UiKit/PageKit.h"
#include "UpdatesPage/UpdatesPage.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>

using namespace dovrane;
using namespace dovrane::testing;

class UpdatesPageTests : public QObject {
    Q_OBJECT

    std::unique_ptr<PageFixture> f;

    UpdateInfo update(const InstalledApp& app, const std::string& version,
                      AppSource source = AppSource::sparkle) const {
        UpdateInfo info;
        info.bundleID = app.bundleID;
        info.appPath = app.path;
        info.currentVersion = app.version;
        info.newVersion = version;
        info.source = source;
        info.checkedAt = f->fixture.clock->now();
        return info;
    }

    QStringList names(const ReasonList::Rows& rows) const {
        QStringList shown;
        for (const auto& [app, line] : rows)
            shown << QString::fromStdString(app.name) + ": " + line;
        return shown;
    }

private slots:
    // The window's own catalogue, as the application installs it: English counted texts read
    // "1 update".
    void initTestCase() { QVERIFY(Translations::install()); }
    void init() { f = std::make_unique<PageFixture>(); }
    void cleanup() { f.reset(); }

    void emptyStateOffersACheckAndShowsItsProgress() {
        ModelSeeding(f->model).setApps({f->app("Finder", AppSource::apple, 1, true)});
        ModelSeeding(f->model).setAppsLoaded(true);
        UpdatesPage page(f->model);
        QVERIFY(!page.showsResults());
        ContentUnavailableView* empty = page.emptyState();
        QCOMPARE(empty->title(), QStringLiteral("Updates for all your apps"));
        QCOMPARE(empty->description(),
                 QStringLiteral("Dovrane asks each app's update feed, Homebrew and the App Store for newer versions."));
        QVERIFY(empty->actionButton()->isVisibleTo(empty));

        ModelSeeding(f->model).setIsCheckingUpdates(true);
        ModelSeeding(f->model).setUpdateProgress(0.429);
        QCOMPARE(empty->description(), QStringLiteral("Checking 42 percent of your apps…"));
        QVERIFY(!empty->actionButton()->isVisibleTo(empty));

        // A check of nothing but a system app yields no results: the page stays empty.
        ModelSeeding(f->model).setIsCheckingUpdates(false);
        empty->actionButton()->click();
        QVERIFY(f->model.isCheckingUpdates());
        DOVRANE_TRY_VERIFY_WITHIN(!f->model.isCheckingUpdates(), 20000);
        QVERIFY(f->model.updatesCheckedAt());
        QVERIFY(!page.showsResults());
        QVERIFY(empty->actionButton()->isVisibleTo(empty));
        // The page says why nothing came of it.
        QCOMPARE(empty->description(), QStringLiteral("Dovrane found no apps to check."));
    }

    void everyAppUpToDateAndEveryCheckFailed() {
        const InstalledApp a = f->app("Alpha"), b = f->app("Beta");
        ModelSeeding(f->model).setApps({a, b});
        ModelSeeding(f->model).setUpdates({{a.id(), UpdateCheck::upToDate()}, {b.id(), UpdateCheck::upToDate()}});
        ModelSeeding(f->model).setUpdatesCheckedAt(f->fixture.clock->now().adding(-86400));
        UpdatesPage page(f->model);
        QVERIFY(page.showsResults());
        QCOMPARE(page.title()->text(), QStringLiteral("No updates"));
        QCOMPARE(page.checked()->text(), QStringLiteral("Checked yesterday"));
        QVERIFY(page.allUpToDate()->isVisibleTo(&page));
        QVERIFY(!page.noneChecked()->isVisibleTo(&page));
        QVERIFY(page.cards().empty());
        QVERIFY(!page.failedSection()->isVisibleTo(&page));
        QCOMPARE(page.currentToggle()->text(), QStringLiteral("Up to date (2)"));
        QCOMPARE(page.unsupportedToggle()->text(), QStringLiteral("Not checked (0)"));
        QVERIFY(!page.currentGroup()->isVisibleTo(&page));
        page.currentToggle()->click();
        QVERIFY(page.currentGroup()->isVisibleTo(&page));
        QVERIFY(visibleTexts(*page.currentGroup()).contains("Version 1.0"));
        QVERIFY(!page.updateAll()->isEnabled());

        // Every check failed: "up to date" would say the opposite of what happened.
        ModelSeeding(f->model).setUpdates({{a.id(), UpdateCheck::failed("The feed is unreachable.")},
                                           {b.id(), UpdateCheck::failed("No feed <b>here</b>.")}});
        QCOMPARE(page.title()->text(), QStringLiteral("Could not check for updates"));
        QVERIFY(!page.allUpToDate()->isVisibleTo(&page));
        QVERIFY(page.noneChecked()->isVisibleTo(&page));
        QVERIFY(visibleTexts(*page.noneChecked()).contains("No app could be checked."));
        QVERIFY(page.failedSection()->isVisibleTo(&page));
        QCOMPARE(names(page.failed()), (QStringList{"Alpha: The feed is unreachable.", "Beta: No feed <b>here</b>."}));
        QVERIFY(visibleTexts(*page.failedSection()).contains("No feed <b>here</b>."));
        // No empty group of current apps, even one left open, and no time of a check that
        // found nothing out.
        QVERIFY(!page.currentToggle()->isVisibleTo(&page));
        QVERIFY(!page.currentGroup()->isVisibleTo(&page));
        QVERIFY(!page.checked()->isVisibleTo(&page));
        QVERIFY(page.unsupportedToggle()->isVisibleTo(&page));

        // One up to date beside the failure: the line is true again.
        ModelSeeding(f->model).setUpdates(
            {{a.id(), UpdateCheck::failed("The feed is unreachable.")}, {b.id(), UpdateCheck::upToDate()}});
        QCOMPARE(page.currentToggle()->text(), QStringLiteral("Up to date (1)"));
        QVERIFY(page.currentToggle()->isVisibleTo(&page));
        QVERIFY(page.currentGroup()->isVisibleTo(&page));
        QVERIFY(page.checked()->isVisibleTo(&page));
        QVERIFY(page.allUpToDate()->isVisibleTo(&page));
        QVERIFY(!page.noneChecked()->isVisibleTo(&page));
        QCOMPARE(page.failed().size(), std::size_t(1));
        QCOMPARE(page.title()->text(), QStringLiteral("No updates"));

        // Nothing could be checked at all (no feed anywhere): neither line claims a result.
        ModelSeeding(f->model).setUpdates(
            {{a.id(), UpdateCheck::unsupported("No update feed.")}, {b.id(), UpdateCheck::unsupported("None.")}});
        QVERIFY(!page.allUpToDate()->isVisibleTo(&page));
        QVERIFY(!page.noneChecked()->isVisibleTo(&page));
    }

    // The German window says the same: a failure is never headed as good news.
    void everyCheckFailedReadsAsAFailureInGerman() {
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        const InstalledApp a = f->app("Alpha");
        ModelSeeding(f->model).setApps({a});
        ModelSeeding(f->model).setUpdates({{a.id(), UpdateCheck::failed("The feed is unreachable.")}});
        UpdatesPage page(f->model);
        QCOMPARE(page.title()->text(), QStringLiteral("Updates konnten nicht geprüft werden"));
        QVERIFY(visibleTexts(*page.noneChecked()).contains(QStringLiteral("Keine App konnte geprüft werden.")));
        ModelSeeding(f->model).setUpdates({{a.id(), UpdateCheck::upToDate()}});
        QCOMPARE(page.title()->text(), QStringLiteral("Keine Updates"));
    }

    void systemAppsAreLeftOutOfNotCheckedButNotOutOfCouldNotCheck() {
        const InstalledApp mail = f->app("Mail", AppSource::apple, 1, true),
                           music = f->app("Music", AppSource::apple, 1, true);
        const InstalledApp tool = f->app("Tool", AppSource::unknown), gone = f->app("Gone");
        ModelSeeding(f->model).setApps({mail, music, tool, f->app("Unchecked")});
        ModelSeeding(f->model).setUpdates({{mail.id(), UpdateCheck::unsupported("Part of the system.")},
                                           {music.id(), UpdateCheck::failed("Could not read it.")},
                                           {tool.id(), UpdateCheck::unsupported("No update feed.")},
                                           {gone.id(), UpdateCheck::failed("Not installed any more.")}});
        UpdatesPage page(f->model);
        QCOMPARE(names(page.unsupported()), QStringList{"Tool: No update feed."});
        QCOMPARE(page.unsupportedToggle()->text(), QStringLiteral("Not checked (1)"));
        QCOMPARE(names(page.failed()), QStringList{"Music: Could not read it."});
        QVERIFY(page.current().empty());
    }

    void cardsPerPathWithTheirButtonsSpinnersAndProblems() {
        InstalledApp editor = f->app("Editor"), copy = f->app("Editor");
        copy.path = Url::fromPath(f->fixture / "Other/Editor.app");
        const InstalledApp store = f->app("Pages", AppSource::appStore);
        ModelSeeding(f->model).setApps({editor, copy, store});
        ModelSeeding(f->model).setUpdates(
            {{editor.id(), UpdateCheck::available(update(editor, "2.0"))},
             {copy.id(), UpdateCheck::available(update(copy, "3.0"))},
             {store.id(), UpdateCheck::available(update(store, "14.1", AppSource::appStore))}});
        UpdatesPage page(f->model);
        const auto cards = page.cards();
        QCOMPARE(cards.size(), std::size_t(3));
        QCOMPARE(page.title()->text(), QStringLiteral("3 updates"));
        QVERIFY(!page.allUpToDate()->isVisibleTo(&page));
        QCOMPARE(cards[0]->app().id(), editor.id());
        QCOMPARE(cards[1]->app().id(), copy.id());
        QVERIFY(visibleTexts(*cards[1]).contains("1.0 → 3.0"));
        QCOMPARE(cards[0]->installButton()->text(), QStringLiteral("Update"));
        QCOMPARE(cards[2]->installButton()->text(), QStringLiteral("Open App Store"));
        QVERIFY(visibleTexts(*cards[2]).contains("App Store"));
        QVERIFY(page.updateAll()->isEnabled());

        ModelSeeding(f->model).setInstalling({copy.id()});
        QVERIFY(!page.updateAll()->isEnabled());
        QVERIFY(cards[1]->busyIndicator()->isVisibleTo(cards[1]));
        QVERIFY(!cards[1]->installButton()->isVisibleTo(cards[1]));
        QVERIFY(cards[0]->installButton()->isVisibleTo(cards[0]));
        QVERIFY(!cards[0]->busyIndicator()->isVisibleTo(cards[0]));

        ModelSeeding(f->model).setInstalling({});
        ModelSeeding(f->model).setInstallProblems(
            {{copy.id(), QStringLiteral("Editor is still open. Quit it, then try again.")}});
        QVERIFY(cards[1]->problem()->isVisibleTo(cards[1]));
        QCOMPARE(cards[1]->problem()->text(), QStringLiteral("Editor is still open. Quit it, then try again."));
        QVERIFY(!cards[0]->problem()->isVisibleTo(cards[0]));
        QVERIFY(page.updateAll()->isEnabled());
    }

    void aSecondPressOfAnInstallButtonCallsTheModelOnce() {
        const InstalledApp store = f->app("Pages", AppSource::appStore);
        UpdateInfo info = update(store, "14.1", AppSource::appStore);
        info.storeURL = Url::parse("https://apps.example.com/pages");
        ModelSeeding(f->model).setApps({store});
        ModelSeeding(f->model).setUpdates({{store.id(), UpdateCheck::available(info)}});
        UpdatesPage page(f->model);
        UpdateCard* card = page.cards().front();

        card->installButton()->click();
        QVERIFY(!card->installButton()->isEnabled());
        card->installButton()->click();
        QCOMPARE(f->fixture.workspace->opened.size(), std::size_t(1));
        DOVRANE_TRY_VERIFY(card->installButton()->isEnabled());

        page.updateAll()->click();
        QVERIFY(!page.updateAll()->isEnabled());
        page.updateAll()->click();
        // The store's updates page, once.
        QCOMPARE(f->fixture.workspace->opened.size(), std::size_t(2));
        DOVRANE_TRY_VERIFY(page.updateAll()->isEnabled());
    }

    // In the demo an install ends at once: the page drops the card while its own button is being
    // answered. The press must leave the deleted card alone, and the page goes on working.
    void pressingUpdateInTheDemoDropsTheCardSafely() {
        const InstalledApp editor = f->app("Editor"), viewer = f->app("Viewer");
        ModelSeeding(f->model).setApps({editor, viewer});
        ModelSeeding(f->model).setUpdates({{editor.id(), UpdateCheck::available(update(editor, "2.0"))},
                                           {viewer.id(), UpdateCheck::available(update(viewer, "3.0"))}});
        ModelSeeding(f->model).setIsDemo(true);
        UpdatesPage page(f->model);
        render(page, Look::light);
        QCOMPARE(page.cards().size(), std::size_t(2));

        QPointer<UpdateCard> first = page.cards().front();
        QTest::mouseClick(first->installButton(), Qt::LeftButton);
        QVERIFY(!first);
        QCoreApplication::processEvents();
        QCOMPARE(page.cards().size(), std::size_t(1));
        QCOMPARE(page.cards().front()->app().id(), viewer.id());
        QVERIFY(page.currentToggle()->text().contains(QStringLiteral("(1)")));

        // The last card goes the same way, and the page shows that all is up to date.
        QTest::mouseClick(page.cards().front()->installButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(page.cards().empty());
        QVERIFY(page.allUpToDate()->isVisibleTo(&page));
    }

    // Update All in the demo clears every card while the page's own press is being answered.
    void updateAllInTheDemoLeavesAnAnsweringPage() {
        const InstalledApp editor = f->app("Editor"), viewer = f->app("Viewer");
        ModelSeeding(f->model).setApps({editor, viewer});
        ModelSeeding(f->model).setUpdates({{editor.id(), UpdateCheck::available(update(editor, "2.0"))},
                                           {viewer.id(), UpdateCheck::available(update(viewer, "3.0"))}});
        ModelSeeding(f->model).setIsDemo(true);
        UpdatesPage page(f->model);
        render(page, Look::light);
        QTest::mouseClick(page.updateAll(), Qt::LeftButton);
        DOVRANE_TRY_VERIFY(page.cards().empty());
        DOVRANE_TRY_VERIFY(page.allUpToDate()->isVisibleTo(&page));
    }

    // In the accent's text shade, which reads as text: Sea Green's and Violet's deep shades in
    // the light look.
    void linksAreDrawnInTheAccentOfTheMoment() {
        const InstalledApp app = f->app("Editor");
        UpdateInfo info = update(app, "2.0");
        info.releaseNotesURL = Url::parse("https://example.com/notes");
        ModelSeeding(f->model).setApps({app});
        ModelSeeding(f->model).setUpdates({{app.id(), UpdateCheck::available(info)}});
        UpdatesPage page(f->model);
        MemorySettings settings;
        ThemeStore themes(settings);
        themed(&page, themes);
        render(page, Look::light);
        QPushButton* link = page.cards().front()->releaseNotesButton();
        QVERIFY(link);
        const auto drawnIn = [link](const QColor& accent) {
            const QImage image = link->grab().toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == accent)
                        return true;
            return false;
        };
        QVERIFY(drawnIn(QColor(0x1F, 0x6B, 0x57)));
        themes.setThemeID(QStringLiteral("violet"));
        QVERIFY(drawnIn(QColor(0x63, 0x42, 0xE6)));
        QVERIFY(!drawnIn(QColor(0x1F, 0x6B, 0x57)));
    }

    void releaseNotesFoldToThreeLinesAndLinkOnlyToTheWeb() {
        const InstalledApp app = f->app("Editor");
        UpdateInfo info = update(app, "2.0");
        info.releaseNotes = "one\ntwo\nthree\nfour\nfive";
        info.releaseNotesURL = Url::parse("https://example.com/notes");
        ModelSeeding(f->model).setApps({app});
        ModelSeeding(f->model).setUpdates({{app.id(), UpdateCheck::available(info)}});
        UpdatesPage page(f->model);
        render(page, Look::light);
        UpdateCard* card = page.cards().front();
        const int line = card->notes()->fontMetrics().lineSpacing();
        // Folded, the third line ends in "…" and the tooltip holds all five.
        QCOMPARE(card->notes()->fullText(), QStringLiteral("one\ntwo\nthree\nfour\nfive"));
        QCOMPARE(card->notes()->text(), QStringLiteral("one\ntwo\nthree\u2026"));
        QVERIFY(card->notes()->toolTip().contains(QStringLiteral("five")));
        QVERIFY(card->notes()->height() >= card->notes()->QLabel::heightForWidth(card->notes()->width()));
        QVERIFY(card->notes()->height() < 4 * line);
        QCOMPARE(card->moreButton()->text(), QStringLiteral("More"));
        QVERIFY(card->moreButton()->isVisibleTo(card));
        card->moreButton()->click();
        QCOMPARE(card->moreButton()->text(), QStringLiteral("Less"));
        DOVRANE_TRY_VERIFY(card->notes()->height() >= 5 * line);
        QCOMPARE(card->notes()->text(), card->notes()->fullText());
        QVERIFY(card->moreButton()->isVisibleTo(card));
        card->releaseNotesButton()->click();
        QCOMPARE(f->opened, std::vector<QUrl>{QUrl("https://example.com/notes")});

        for (const char* address : {"http://example.com/n", "https://example.com/n", "file:///etc/passwd",
                                    "javascript:alert(1)", "x-custom://notes"}) {
            UpdateInfo linked = update(app, "2.0");
            linked.releaseNotesURL = Url::parse(address);
            QVERIFY(linked.releaseNotesURL);
            const bool web = QByteArray(address).startsWith("http");
            QCOMPARE(releaseNotesLink(linked).has_value(), web);
            UpdateCard alone(f->model, app, linked);
            QCOMPARE(alone.releaseNotesButton() != nullptr, web);
            QVERIFY(!alone.moreButton());
        }
    }

    // Notes that fit their three lines have no more to show: no "More" that would reveal
    // nothing; a narrower card that folds them brings it back.
    void shortNotesOfferNoMore() {
        const InstalledApp app = f->app("Editor");
        UpdateInfo info = update(app, "2.0");
        info.releaseNotes = "Faster start.";
        ModelSeeding(f->model).setApps({app});
        ModelSeeding(f->model).setUpdates({{app.id(), UpdateCheck::available(info)}});
        UpdatesPage page(f->model);
        render(page, Look::light);
        UpdateCard* card = page.cards().front();
        QCOMPARE(card->notes()->text(), QStringLiteral("Faster start."));
        QVERIFY(!card->moreButton()->isVisibleTo(card));

        const InstalledApp other = f->app("Viewer");
        UpdateInfo wordy = update(other, "3.0");
        wordy.releaseNotes = "Every word of these notes takes room, so that a narrow card folds them onto many more "
                             "lines than the three it shows before More.";
        UpdateCard narrow(f->model, other, wordy);
        narrow.show();
        narrow.resize(narrow.minimumSizeHint().width(), 400);
        QCoreApplication::processEvents();
        QVERIFY(narrow.notes()->text() != narrow.notes()->fullText());
        QVERIFY(narrow.moreButton()->isVisibleTo(&narrow));
        narrow.resize(3000, 400);
        QCoreApplication::processEvents();
        QCOMPARE(narrow.notes()->text(), narrow.notes()->fullText());
        QVERIFY(!narrow.moreButton()->isVisibleTo(&narrow));
    }

    void rendersInBothLooks() {
        const InstalledApp app = f->app("Editor"), other = f->app("Viewer");
        ModelSeeding(f->model).setApps({app, other});
        ModelSeeding(f->model).setUpdates(
            {{app.id(), UpdateCheck::available(update(app, "2.0"))}, {other.id(), UpdateCheck::upToDate()}});
        ModelSeeding(f->model).setIsDemo(true);
        for (Look look : {Look::light, Look::dark}) {
            UpdatesPage page(f->model);
            QCOMPARE(render(page, look).size(), QSize(1100, 720));
            const QStringList texts = visibleTexts(page);
            for (const char* expected :
                 {"1 update", "Check Now", "Update All", "Update", "Up to date (1)", "Not checked (0)"})
                QVERIFY2(texts.contains(expected), expected);
            // Demo mode: no check from here.
            QVERIFY(!page.checkNow()->isEnabled());
            QVERIFY(page.cards().front()->width() <= 760 - 40);
        }
    }
};

DOVRANE_UI_TEST_MAIN(UpdatesPageTests)
#include "UpdatesPageTests.moc"
