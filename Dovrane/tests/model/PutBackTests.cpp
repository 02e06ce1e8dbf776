// Put Back: restored, gone and taken items, a record that stays open, a double press, and
// demo counting.

#include "AppModel/AppModel.h"
#include "support/Await.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/FileSystem.h>

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Moves the files to the Trash through a cleanup and returns its journal record.
std::shared_ptr<Removal> cleanedUp(ModelFixture& fixture, AppModel& model, const std::vector<std::string>& files) {
    std::vector<CleanupItem> items;
    for (const std::string& file : files) {
        writeFile(file, file);
        items.emplace_back(Url::fromPath(file), std::nullopt, 100, 1, std::nullopt, "", "test", Safety::safe,
                           CleanupAction::trash);
    }
    model.requestCleanup(items, "Files");
    await(model.perform(*model.sheet()->cleanupRequest()));
    return fixture.container().removals()->back();
}

} // namespace

class PutBackTests : public QObject {
    Q_OBJECT

private slots:
    void partialPutBackKeepsTheRecordOpen() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string restored = fixture / "Downloads/one", gone = fixture / "Downloads/two",
                          taken = fixture / "Downloads/three";
        auto removal = cleanedUp(fixture, model, {restored, gone, taken});
        Fs::removeAll(removal->items()[1].trashPath.path()); // emptied from the Trash meanwhile
        writeFile(taken, "newer");                     // something new stands at the old place

        await(model.undo(removal));
        QCOMPARE(Fs::readFile(restored).value_or(""), restored);
        QCOMPARE(Fs::readFile(taken).value_or(""), std::string("newer"));
        QCOMPARE(*model.notice(), QStringLiteral("1 items are back where they were. 1 items stayed in the Trash "
                                                 "because something else is at their original place."));
        QVERIFY(!removal->undone()); // the third one can still come back
        fixture.scan.waitForCall(0);

        // Once the place is free the record closes.
        Fs::removeAll(taken);
        await(model.undo(removal));
        QCOMPARE(Fs::readFile(taken).value_or(""), taken);
        QCOMPARE(*model.notice(), QStringLiteral("1 items are back where they were."));
        QVERIFY(removal->undone());
        fixture.closeContainer();
        QVERIFY(fixture.container().removals()->back()->undone()); // saved
    }

    void nothingBackChangesLittle() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string a = fixture / "Downloads/a", b = fixture / "Downloads/b";
        auto removal = cleanedUp(fixture, model, {a, b});

        // Only taken places: that sentence alone, nothing else changes.
        writeFile(a, "new a");
        writeFile(b, "new b");
        model.setNotice(std::nullopt);
        await(model.undo(removal));
        QCOMPARE(*model.notice(), QStringLiteral("2 items stayed in the Trash because something else is at their "
                                                 "original place."));
        QVERIFY(!removal->undone());

        // All gone from the Trash: no notice at all, no rescan.
        for (const RemovedItem& item : removal->items())
            Fs::removeAll(item.trashPath.path());
        model.setNotice(std::nullopt);
        await(model.undo(removal));
        QVERIFY(!model.notice());
        QVERIFY(!removal->undone());
        QCOMPARE(fixture.scan.calls(), 0);
    }

    void secondPressWhileRunningDoesNothing() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string file = fixture / "Downloads/once";
        auto removal = cleanedUp(fixture, model, {file});
        QFuture<void> first = model.undo(removal);
        QFuture<void> second = model.undo(removal);
        QVERIFY(second.isFinished());
        await(first);
        QCOMPARE(*model.notice(), QStringLiteral("1 items are back where they were."));
        QVERIFY(removal->undone());
    }

    void demoCountsEveryItem() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        model.setIsDemo(true);
        auto removal = cleanedUp(fixture, model, {fixture / "Downloads/x", fixture / "Downloads/y"});
        await(model.undo(removal));
        QCOMPARE(*model.notice(), QStringLiteral("2 items are back where they were."));
        QVERIFY(removal->undone());
        QVERIFY(Fs::exists(fixture / "Downloads/x")); // never moved
        QCOMPARE(fixture.scan.calls(), 0);
    }
};

DOVRANE_MODEL_SUITE(PutBackTests)
#include "PutBackTests.moc"
