// The Cleaned Up page over a journal written in the test, with items really in the temporary
// home's freedesktop Trash.

#include "AppModel/ModelSeeding.h"
#include "CleanedPage/CleanedPage.h"
#include "CleanedPage/RemovalRow.h"
#include "PageTestSupport.h"
#include "QtWaits.h"
#include "UiKit/PageKit.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <cstdio>

using namespace dovrane;
using namespace dovrane::testing;

class CleanedPageTests : public QObject {
    Q_OBJECT

    std::unique_ptr<PageFixture> f;

    // Moves new files of these names to the Trash and journals them as one record.
    std::shared_ptr<Removal> record(const QString& title, const std::vector<std::string>& names,
                                    double ageSeconds = 0) {
        std::vector<Trasher::Candidate> candidates;
        for (const std::string& name : names) {
            const std::string path = f->fixture / ("Work/" + title.toStdString() + "/" + name);
            writeFile(path, "1234");
            candidates.push_back({Url::fromPath(path), 1000, 1, false});
        }
        const Trasher trasher = f->model.trasher();
        const Trasher::Outcome outcome = trasher.execute(trasher.plan(candidates));
        auto removal = std::make_shared<Removal>(f->fixture.clock->now().adding(-ageSeconds), title, outcome.removed);
        f->fixture.container().insert(removal);
        f->fixture.container().save();
        return removal;
    }

    // Journals more records than the page holds rows for, "Record 0" the oldest; gives their number.
    int addLongJournal() {
        const int records = 3 * CleanedPage::pageSize + 7;
        for (int index = 0; index < records; ++index)
            f->fixture.container().insert(std::make_shared<Removal>(
                Date{double(index)}, QStringLiteral("Record %1").arg(index),
                std::vector<RemovedItem>{{Url::fromPath(f->fixture / "gone"), Url::fromPath(f->fixture / "t"), 1}}));
        return records;
    }

    static void emptyFromTrash(const RemovedItem& item) {
        Fs::removeAll(item.trashPath.path());
        Fs::removeAll(FreedesktopTrash::infoPathFor(item.trashPath.path()));
    }

    // The page as the window shows it, once every row in view shows its record, counted.
    static void settle(CleanedPage& page) {
        page.resize(1100, 720);
        page.show();
        DOVRANE_TRY_VERIFY(page.isSettled());
    }

    static QStringList titles(const CleanedPage& page) {
        QStringList shown;
        for (RemovalRow* row : page.rows())
            shown << row->title()->text();
        return shown;
    }

private slots:
    void init() { f = std::make_unique<PageFixture>(); }
    void cleanup() { f.reset(); }

    void anEmptyJournalShowsTheEmptyStateOverTheHeader() {
        CleanedPage page(f->model);
        render(page, Look::light);
        settle(page);
        QVERIFY(page.rows().empty());
        QVERIFY(page.emptyState()->isVisible());
        QCOMPARE(page.emptyState()->title(), QStringLiteral("Nothing cleaned up yet"));
        QVERIFY(page.header()->isVisible());
    }

    void rowsTellHowMuchIsStillInTheTrash() {
        auto all = record("All there", {"a", "b"}, 50);
        auto some = record("Some", {"1", "2", "3", "4", "5"}, 40);
        auto none = record("None", {"x"}, 30);
        auto undone = record("Undone", {"u"}, 20);
        auto empty = record("No items", {}, 10);
        for (std::size_t index : {0, 2, 4})
            emptyFromTrash(some->items()[index]);
        emptyFromTrash(none->items()[0]);
        undone->setUndone(true);
        f->fixture.container().save();

        CleanedPage page(f->model);
        settle(page);
        QCOMPARE(titles(page), (QStringList{"No items", "Undone", "None", "Some", "All there"}));
        const auto rows = page.rows();
        RemovalRow* allRow = rows[4];
        QCOMPARE(allRow->inTrash(), 2);
        QVERIFY(allRow->putBack()->isVisibleTo(allRow));
        QVERIFY(!allRow->status()->isVisibleTo(allRow));
        QCOMPARE(allRow->icon()->symbol(), QStringLiteral("trash"));

        RemovalRow* someRow = rows[3];
        QCOMPARE(someRow->status()->text(), QStringLiteral("2 of 5 still in the Trash"));
        QVERIFY(someRow->putBack()->isVisibleTo(someRow));
        QCOMPARE(someRow->putBack()->toolTip(), QStringLiteral("Moves the items from the Trash to where they were"));
        QVERIFY(someRow->detail()->text().startsWith(QStringLiteral("5 items, 5 KB, ")));

        for (RemovalRow* gone : {rows[2], rows[0]}) {
            QCOMPARE(gone->status()->text(), QStringLiteral("Trash was emptied"));
            QCOMPARE(gone->status()->toolTip(),
                     QStringLiteral("These items are gone for good. Dovrane cannot put them back."));
            QVERIFY(!gone->putBack()->isVisibleTo(gone));
        }
        QVERIFY(rows[0]->menu()->isEmpty());

        RemovalRow* undoneRow = rows[1];
        QCOMPARE(undoneRow->status()->text(), QStringLiteral("Put back"));
        QVERIFY(!undoneRow->putBack()->isVisibleTo(undoneRow));
        QCOMPARE(undoneRow->icon()->symbol(), QStringLiteral("arrow.uturn.backward.circle.fill"));
        // A finished state with its check mark, where the others offer a button or say why not.
        QVERIFY(undoneRow->statusMark()->isVisibleTo(undoneRow));
        for (const RemovalRow* other : {rows[0], rows[3], rows[4]})
            QVERIFY(!other->statusMark()->isVisibleTo(other));
    }

    void aLargeRecordIsCountedOffTheMainThreadAndShownOnceCounted() {
        std::vector<std::string> names;
        for (int index = 0; index < 400; ++index)
            names.push_back("file-" + std::to_string(index));
        auto large = record("Large", names);
        for (std::size_t index = 0; index < 100; ++index)
            emptyFromTrash(large->items()[index]);

        CleanedPage page(f->model);
        settle(page);
        RemovalRow* row = page.rows().front();
        DOVRANE_TRY_COMPARE(row->status()->text(), QStringLiteral("300 of 400 still in the Trash"));
        QCOMPARE(row->inTrash(), 300);
        QVERIFY(row->putBack()->isVisibleTo(row));

        for (std::size_t index = 100; index < 400; ++index)
            emptyFromTrash(large->items()[index]);
        page.reload();
        DOVRANE_TRY_COMPARE(row->status()->text(), QStringLiteral("Trash was emptied"));
        QVERIFY(!row->putBack()->isVisibleTo(row));
    }

    // A long journal: rows exist only for the records in and near the view, the list is as long
    // as all of them, and scrolling to its end shows the oldest record.
    void aLongJournalHoldsRowsOnlyForWhatIsInView() {
        const int records = addLongJournal();
        QVERIFY(f->fixture.container().save());
        CleanedPage page(f->model);
        settle(page);
        QCOMPARE(page.total(), records);
        const std::size_t held = page.rows().size();
        QVERIFY(held > 10 && held < std::size_t(records) / 2);
        QCOMPARE(page.rows().front()->title()->text(), QStringLiteral("Record %1").arg(records - 1));
        QScrollBar* bar = page.list()->verticalScrollBar();
        bar->setValue(bar->maximum());
        DOVRANE_TRY_VERIFY(page.isSettled());
        QCOMPARE(page.rows().back()->title()->text(), QStringLiteral("Record 0"));
        QVERIFY(page.rows().back()->isVisible());
        QVERIFY(page.rows().size() <= held);
    }

    // Home and End reach the newest and the oldest record of a journal longer than the rows the
    // page holds, from a row's button as from the list; the keyboard stays in the list, and the
    // ring marks the row it reached.
    void homeAndEndReachTheNewestAndTheOldestRecord() {
        addLongJournal();
        QVERIFY(f->fixture.container().save());
        record(QStringLiteral("Newest"), {"f"});
        CleanedPage page(f->model);
        settle(page);
        page.activateWindow();
        QVERIFY(dovrane::testing::waitForWindowActive(&page));
        const auto inView = [&page](const QString& title) {
            for (RemovalRow* row : page.rows())
                if (row->isVisible() && row->title()->text() == title)
                    return page.list()->viewport()->rect().contains(
                        QRect(row->mapTo(page.list()->viewport(), QPoint(0, 0)), row->size()));
            return false;
        };
        QPushButton* putBack = page.rows().front()->putBack();
        QVERIFY(putBack->isVisible());
        putBack->setFocus();
        QVERIFY(!inView(QStringLiteral("Record 0")));

        const auto ringedTitle = [&page]() -> QString {
            const RemovalRow* row = page.keyboardRow();
            const QWidget* ring = page.keyboardRing();
            if (!row || !ring->isVisible() || ring->parentWidget() != row->parentWidget() ||
                !ring->geometry().contains(row->geometry()))
                return QStringLiteral("(no ring)");
            return row->title()->text();
        };
        QCOMPARE(ringedTitle(), QStringLiteral("(no ring)")); // the button has the focus

        QTest::keyClick(putBack, Qt::Key_End);
        DOVRANE_TRY_VERIFY(page.isSettled());
        QVERIFY(inView(QStringLiteral("Record 0")));
        QVERIFY(page.list()->hasFocus());
        QCOMPARE(ringedTitle(), QStringLiteral("Record 0"));
        // The keys stay with the list, which tells a screen reader the record they are on.
        QVERIFY2(page.list()->accessibleDescription().startsWith(QStringLiteral("Record 0, ")),
                 qPrintable(page.list()->accessibleDescription()));
        QTest::keyClick(page.list(), Qt::Key_Home);
        DOVRANE_TRY_VERIFY(page.isSettled());
        QVERIFY(inView(QStringLiteral("Newest")));
        QCOMPARE(ringedTitle(), QStringLiteral("Newest"));
        QTest::keyClick(page.list(), Qt::Key_End, Qt::ControlModifier);
        DOVRANE_TRY_VERIFY(page.isSettled());
        QVERIFY(inView(QStringLiteral("Record 0")));
        QCOMPARE(ringedTitle(), QStringLiteral("Record 0"));

        // The arrows and Page Up move the ring a row and a screen at a time, into view.
        QTest::keyClick(page.list(), Qt::Key_Up);
        QCOMPARE(ringedTitle(), QStringLiteral("Record 1"));
        QTest::keyClick(page.list(), Qt::Key_PageUp);
        DOVRANE_TRY_VERIFY(page.isSettled());
        const QString paged = ringedTitle();
        QVERIFY2(paged.startsWith(QLatin1String("Record ")) && paged.mid(7).toInt() > 2, qPrintable(paged));
        QVERIFY(inView(paged));
        QTest::keyClick(page.list(), Qt::Key_Down);
        QCOMPARE(ringedTitle(), QStringLiteral("Record %1").arg(paged.mid(7).toInt() - 1));

        // Page Down from a row's button goes on from that row, as from the list on that row;
        // Tab away takes the ring with it.
        QTest::keyClick(page.list(), Qt::Key_Home);
        QTest::keyClick(page.list(), Qt::Key_PageDown);
        DOVRANE_TRY_VERIFY(page.isSettled());
        const QString below = ringedTitle();
        QVERIFY(below != QStringLiteral("Newest") && inView(below));
        QTest::keyClick(page.list(), Qt::Key_End);
        page.list()->verticalScrollBar()->setValue(0);
        DOVRANE_TRY_VERIFY(page.isSettled());
        page.rows().front()->putBack()->setFocus();
        QCOMPARE(ringedTitle(), QStringLiteral("(no ring)"));
        QTest::keyClick(page.rows().front()->putBack(), Qt::Key_PageDown);
        QVERIFY(page.list()->hasFocus());
        QCOMPARE(ringedTitle(), below);
        QTest::keyClick(page.list(), Qt::Key_Tab);
        QVERIFY(!page.list()->hasFocus());
        QVERIFY(!page.keyboardRing()->isVisible());
    }

    // Tab walks from Put Back to Put Back past the rows the page holds: the list scrolls to the
    // focused one and places the rows after it.
    void tabWalksOnPastTheRowsHeld() {
        const int records = 60;
        for (int index = 0; index < records; ++index)
            record(QStringLiteral("R%1").arg(index), {"f"}, records - index);
        CleanedPage page(f->model);
        settle(page);
        page.activateWindow();
        QVERIFY(dovrane::testing::waitForWindowActive(&page));
        const int held = int(page.rows().size());
        QVERIFY(held + 5 < records);
        page.rows().front()->putBack()->setFocus();
        for (int press = 0; press < held + 5; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            DOVRANE_TRY_VERIFY(page.isSettled());
        }
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        QVERIFY(focused);
        auto* row = qobject_cast<RemovalRow*>(focused->parentWidget());
        QVERIFY(row);
        QCOMPARE(row->title()->text(), QStringLiteral("R%1").arg(records - 1 - (held + 5)));
        QVERIFY(page.list()->verticalScrollBar()->value() > 0);
        const QRect area(focused->mapTo(page.list()->viewport(), QPoint(0, 0)), focused->size());
        QVERIFY(page.list()->viewport()->rect().contains(area));
    }

    void theDetailLineCountsSizesAndDates() {
        auto three = record("Three", {"a", "b", "c"});
        CleanedPage page(f->model);
        settle(page);
        QCOMPARE(page.rows().front()->detail()->text(),
                 QStringLiteral("3 items, 3 KB, ") +
                     QString::fromStdString(DateText::abbreviatedDateShortTime(three->date())));
    }

    void aNewRecordAppearsAtTheTopWithoutReload() {
        record("Older", {"a"}, 100);
        CleanedPage page(f->model);
        settle(page);
        QVERIFY(!page.emptyState()->isVisibleTo(&page));
        record("Newer", {"b"});
        DOVRANE_TRY_COMPARE(titles(page), (QStringList{"Newer", "Older"}));
    }

    void showInTrashOffersOnlyTheFirstItemWhileItIsThere() {
        auto removal = record("Two", {"first", "second"});
        CleanedPage page(f->model);
        settle(page);
        RemovalRow* row = page.rows().front();
        std::unique_ptr<QMenu> menu = row->menu();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Show in Trash"));
        menu->actions()[0]->trigger();
        // No file manager on the bus here: the folder that holds it opens instead.
        QCOMPARE(f->opened.size(), std::size_t(1));
        QCOMPARE(f->opened[0].toLocalFile(),
                 QString::fromStdString(Path::parent(removal->items()[0].trashPath.path())));

        emptyFromTrash(removal->items()[0]);
        QVERIFY(row->menu()->isEmpty());
    }

    void aDoublePressOfPutBackPutsBackOnce() {
        auto removal = record("Back", {"a", "b"});
        CleanedPage page(f->model);
        settle(page);
        RemovalRow* row = page.rows().front();
        QSignalSpy notices(&f->model, &AppModel::changed);
        row->putBack()->click();
        QVERIFY(!row->putBack()->isEnabled());
        row->putBack()->click();
        DOVRANE_TRY_VERIFY_WITHIN(removal->undone(), 20000);
        DOVRANE_TRY_VERIFY(page.isSettled());
        DOVRANE_TRY_COMPARE(row->status()->text(), QStringLiteral("Put back"));
        QVERIFY(!row->putBack()->isVisibleTo(row));
        for (const RemovedItem& item : removal->items())
            QVERIFY(Fs::exists(item.originalPath.path()));
        QCOMPARE(f->model.notice(), std::optional<QString>(QStringLiteral("2 items are back where they were.")));
        int noticeChanges = 0;
        for (const QList<QVariant>& change : notices)
            noticeChanges += change[0].value<AppModel::Field>() == AppModel::Field::notice;
        QCOMPARE(noticeChanges, 1);
    }

    void anUnrelatedFileTrashedLaterUnderTheSameNameCountsAsGone() {
        auto removal = record("Report", {"report.txt"});
        emptyFromTrash(removal->items()[0]);
        const std::string stranger = f->fixture / "Elsewhere/report.txt";
        writeFile(stranger, "not mine");
        const Trasher trasher = f->model.trasher();
        const auto outcome = trasher.execute(trasher.plan({{Url::fromPath(stranger), 8, 1, false}}));
        QCOMPARE(outcome.removed.at(0).trashPath, removal->items()[0].trashPath);

        CleanedPage page(f->model);
        settle(page);
        RemovalRow* row = page.rows().front();
        QCOMPARE(row->inTrash(), 0);
        QCOMPARE(row->status()->text(), QStringLiteral("Trash was emptied"));
        QVERIFY(!row->putBack()->isVisibleTo(row));
        QVERIFY(row->menu()->isEmpty());
        QVERIFY(Fs::exists(removal->items()[0].trashPath.path()));
        QVERIFY(!Fs::exists(removal->items()[0].originalPath.path()));
    }

    // The desktop's Trash window puts an item back by moving it home and dropping its info file.
    // A record whose items are all back reads as put back; one only partly back still offers
    // its Put Back for the rest.
    void itemsTheDesktopPutBackCountAsPutBack() {
        const auto restoreAsTheDesktopDoes = [](const RemovedItem& item) {
            QVERIFY(::rename(item.trashPath.path().c_str(), item.originalPath.path().c_str()) == 0);
            QVERIFY(Fs::removeAll(FreedesktopTrash::infoPathFor(item.trashPath.path())));
        };
        auto whole = record("Whole", {"a", "b"}, 20);
        auto part = record("Part", {"c", "d"}, 10);
        for (const RemovedItem& item : whole->items())
            restoreAsTheDesktopDoes(item);
        restoreAsTheDesktopDoes(part->items()[0]);

        CleanedPage page(f->model);
        settle(page);
        RemovalRow* partRow = page.rows()[0];
        RemovalRow* wholeRow = page.rows()[1];
        QCOMPARE(wholeRow->status()->text(), QStringLiteral("Put back"));
        QVERIFY(!wholeRow->putBack()->isVisibleTo(wholeRow));
        QVERIFY(!whole->undone()); // what the store holds is left as it is
        QCOMPARE(partRow->inTrash(), 1);
        QCOMPARE(partRow->status()->text(), QStringLiteral("1 of 2 still in the Trash"));
        QVERIFY(partRow->putBack()->isVisibleTo(partRow));
    }

    void demoModeCountsByTitleButShowInTrashLooksAtTheFile() {
        auto xcode = record("Xcode caches", {"d"});
        auto gone = record("Downloads", {"e"}, 10);
        emptyFromTrash(gone->items()[0]);
        CleanedPage page(f->model);
        settle(page);
        QCOMPARE(page.rows()[1]->status()->text(), QStringLiteral("Trash was emptied"));
        ModelSeeding(f->model).setIsDemo(true);
        DOVRANE_TRY_VERIFY(page.isSettled());
        RemovalRow* xcodeRow = page.rows()[0];
        RemovalRow* goneRow = page.rows()[1];
        QCOMPARE(xcodeRow->inTrash(), 0);
        QCOMPARE(xcodeRow->status()->text(), QStringLiteral("Trash was emptied"));
        QVERIFY(!xcodeRow->menu()->isEmpty()); // the file is really there
        QCOMPARE(goneRow->inTrash(), 1);
        QVERIFY(goneRow->putBack()->isVisibleTo(goneRow));
        QVERIFY(goneRow->menu()->isEmpty());
    }

    // In the demo a put back ends at once; whatever the window rebuilds in that change may take
    // the row with it. The press leaves the deleted row alone and the record is put back.
    void aRowRebuiltAwayWhileItsPutBackStartsIsLeftAlone() {
        auto removal = record("Back", {"a"});
        ModelSeeding(f->model).setIsDemo(true);
        auto* page = new CleanedPage(f->model);
        settle(*page);
        QPointer<RemovalRow> row = page->rows().front();
        const auto connection = connect(&f->model, &AppModel::changed, [&page](AppModel::Field field) {
            if (field == AppModel::Field::notice)
                delete std::exchange(page, nullptr);
        });
        QTest::mouseClick(row->putBack(), Qt::LeftButton);
        disconnect(connection);
        QVERIFY(!page);
        QVERIFY(!row);
        QCoreApplication::processEvents();
        QVERIFY(removal->undone());
        QVERIFY(f->model.notice() && f->model.notice()->contains(QStringLiteral("back where")));
    }

    void rendersInBothLooks() {
        record("Safe items", {"a", "b", "c"});
        for (Look look : {Look::light, Look::dark}) {
            CleanedPage page(f->model);
            settle(page);
            QCOMPARE(render(page, look).size(), QSize(1100, 720));
            const QStringList texts = visibleTexts(page);
            QVERIFY(texts.contains(
                "Dovrane moves things to the Trash. They stay there until you empty the Trash and confirm it."));
            QVERIFY(texts.contains("Safe items"));
            QVERIFY(texts.contains("Put Back"));
            QVERIFY(!page.emptyState()->isVisible());
        }
    }
};

DOVRANE_UI_TEST_MAIN(CleanedPageTests)
#include "CleanedPageTests.moc"
