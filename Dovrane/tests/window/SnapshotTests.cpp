// The screenshot run's pieces inside one process: the step filter, where layout files go, how
// it tells the main window from a sheet and other windows, pauses that give the event loop
// back, and the lines of captures that find no window or cannot write. The whole run on the
// built binary is checked by the end-to-end tests.

#include "QtWaits.h"
#include "Snapshot/Capture.h"
#include "Snapshot/Pausing.h"
#include "Snapshot/Snapshot.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QDialog>
#include <QMainWindow>
#include <QMenu>
#include <QTest>

#include <cstdio>
#include <sstream>

#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// The run's lines ("SNAPSHOT …") among what is written to standard output while the object
// lives; Qt Test writes its warnings there too.
class StandardOutput {
public:
    StandardOutput() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        std::FILE* file = std::tmpfile();
        captured_ = dup(fileno(file));
        std::fclose(file);
        dup2(captured_, STDOUT_FILENO);
    }
    ~StandardOutput() { restore(); }

    std::string lines() {
        restore();
        std::string text;
        lseek(captured_, 0, SEEK_SET);
        char buffer[4096];
        for (ssize_t got; (got = read(captured_, buffer, sizeof buffer)) > 0;)
            text.append(buffer, std::size_t(got));
        std::string lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);)
            if (line.starts_with("SNAPSHOT "))
                lines += line + "\n";
        return lines;
    }

private:
    void restore() {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    int captured_ = -1;
};

// Runs a subtask to its end in the event loop.
void finish(Subtask task) {
    bool done = false;
    [](Subtask inner, bool& finished) -> DetachedTask {
        co_await inner;
        finished = true;
    }(std::move(task), done);
    DOVRANE_TRY_VERIFY_WITHIN(done, 10'000);
}

DetachedTask record(std::vector<std::string>& events) {
    events.push_back("start");
    QTimer::singleShot(0, qApp, [&events] { events.push_back("event loop"); });
    co_await Pause(10);
    events.push_back("after pause");
}

Subtask inner(std::vector<std::string>& events) {
    events.push_back("inner starts");
    co_await Pause(5);
    events.push_back("inner ends");
}

DetachedTask outer(std::vector<std::string>& events) {
    events.push_back("outer starts");
    co_await inner(events);
    events.push_back("outer goes on");
}

} // namespace

class SnapshotTests : public QObject {
    Q_OBJECT

private slots:
    void stepFilterKeepsKeysExactly_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("two keys") << QByteArray("overview,settings") << QStringList{"overview", "settings"};
        QTest::newRow("empty pieces dropped")
            << QByteArray(",,overview,,sheet-cleanup,") << QStringList{"overview", "sheet-cleanup"};
        QTest::newRow("blanks kept") << QByteArray(" overview,menubar ") << QStringList{" overview", "menubar "};
        QTest::newRow("set but empty") << QByteArray("") << QStringList{};
        QTest::newRow("only commas") << QByteArray(",,") << QStringList{};
    }
    void stepFilterKeepsKeysExactly() {
        QFETCH(QByteArray, value);
        QFETCH(QStringList, keys);
        const std::optional<std::set<std::string>> filter = Snapshot::stepFilter(value.constData());
        QVERIFY(filter);
        std::set<std::string> expected;
        for (const QString& key : keys)
            expected.insert(key.toStdString());
        QCOMPARE(*filter, expected);
    }

    void anUnsetFilterRunsEveryStep() { QVERIFY(!Snapshot::stepFilter(nullptr)); }

    void layoutFilesLieBesideTheirImages() {
        QCOMPARE(Snapshot::layoutPath("/tmp/out/overview-light.png"), "/tmp/out/overview-light-layout.json");
        QCOMPARE(Snapshot::layoutPath("/tmp/a.png/b.png/sheet-palette-dark.png"),
                 "/tmp/a.png/b.png/sheet-palette-dark-layout.json");
        QCOMPARE(Snapshot::layoutPath("relative.png"), "relative-layout.json");
    }

    // The main window is the one window that can become main; a window-modal dialog over it is
    // a sheet; hidden windows, popups and parentless dialogs are not sheets, and only visible
    // windows count.
    void windowsAreToldApart() {
        QMainWindow main;
        main.resize(400, 300);
        QWidget settings;
        QDialog sheet(&main);
        sheet.setWindowModality(Qt::WindowModal);
        QDialog freeDialog;
        QMenu popup;
        QWidget hidden;

        QCOMPARE(Snapshot::mainWindow(), nullptr);
        main.show();
        settings.show();
        sheet.show();
        freeDialog.show();
        popup.popup(QPoint(10, 10));
        QVERIFY(dovrane::testing::waitForWindowExposed(&sheet));

        const QList<QWidget*> windows = Snapshot::windowList();
        QCOMPARE(windows.size(), 4);
        for (QWidget* expected : {static_cast<QWidget*>(&main), &settings, static_cast<QWidget*>(&sheet),
                                  static_cast<QWidget*>(&freeDialog)})
            QVERIFY(windows.contains(expected));
        QVERIFY(!windows.contains(&popup));
        QVERIFY(!windows.contains(&hidden));

        QVERIFY(Snapshot::isSheet(&sheet));
        QVERIFY(!Snapshot::isSheet(&freeDialog));
        QVERIFY(!Snapshot::isSheet(&main));
        QVERIFY(!Snapshot::isSheet(&settings));
        QCOMPARE(Snapshot::mainWindow(), &main);
        popup.close();
    }

    void pausesGiveTheEventLoopBack() {
        std::vector<std::string> events;
        record(events);
        QCOMPARE(events, std::vector<std::string>{"start"});
        DOVRANE_TRY_COMPARE(events, (std::vector<std::string>{"start", "event loop", "after pause"}));
    }

    void aSubtaskResumesItsCallerWhenItEnds() {
        std::vector<std::string> events;
        outer(events);
        QCOMPARE(events, (std::vector<std::string>{"outer starts", "inner starts"}));
        DOVRANE_TRY_COMPARE(events,
                            (std::vector<std::string>{"outer starts", "inner starts", "inner ends", "outer goes on"}));
    }

    // Nothing to capture: one line, and no file is written or removed.
    void withoutAWindowItSaysSoAndTouchesNothing() {
        TempDir folder;
        const std::string image = folder / "overview-light.png";
        writeFile(image, "an earlier image");
        StandardOutput output;
        finish(Snapshot::capture(image, nullptr));
        QCOMPARE(output.lines(), std::string("SNAPSHOT no window\n"));
        QCOMPARE(*Fs::readFile(image), std::string("an earlier image"));
        QVERIFY(!Fs::exists(folder / "overview-light-layout.json"));
    }

    // A folder that cannot exist (below a file): no image, so no line claims one.
    void anImageThatCannotBeWrittenGetsNoLine() {
        TempDir folder;
        writeFile(folder / "file");
        const std::string image = folder / "file/out/overview-light.png";
        QWidget window;
        window.resize(100, 80);
        window.show();
        QVERIFY(dovrane::testing::waitForWindowExposed(&window));
        StandardOutput output;
        finish(Snapshot::capture(image, &window));
        QCOMPARE(output.lines(), std::string());
        QVERIFY(!Fs::exists(image));
    }
};

DOVRANE_MODEL_SUITE(SnapshotTests)
#include "SnapshotTests.moc"
