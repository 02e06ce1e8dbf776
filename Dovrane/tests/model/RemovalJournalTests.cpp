// A removal's journal survives the process: a child process moves a real folder of files to the
// Trash with its journal and is killed (SIGKILL) at a chosen point of the move, or the power of
// the disk under it is cut; the next start settles what it left under way, and every item in the
// Trash then has its record and comes back with Put Back. A move's owner counts as running
// exactly while it lives, seen from anywhere.

#include "AppModel/AppModel.h"
#include "QtWaits.h"
#include "Services/RemovalJournal.h"
#include "support/Await.h"
#include "support/LoopDisk.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>

extern char** environ;

using namespace dovrane;
using namespace dovrane::testing;

namespace {

constexpr int items = 2 * int(RemovalJournal::batch) + 50; // three batches, the last one short
constexpr int cutItems = 5000;

void say(const char* line) {
    const ssize_t written = ::write(STDOUT_FILENO, line, std::strlen(line));
    (void)written;
}

// Runs one statement on the store over a connection of its own; the first column of its first row.
QVariant execute(const std::string& store, const QString& statement) {
    QVariant value;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("journal-test"));
        database.setDatabaseName(QString::fromStdString(store));
        if (database.open()) {
            QSqlQuery query(database);
            if (query.exec(statement) && query.next())
                value = query.value(0);
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("journal-test"));
    return value;
}

// Runs the test program as a process that moves every file of `folder` with its journal and,
// at `stop`, says "STOP" and waits to be killed; kills it then. For "moving" it goes on moving
// after saying so, and the kill lands wherever the move has got to.
bool killedInAMove(const std::string& home, const std::string& folder, const char* stop) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--journaled-move"), QString::fromStdString(home), QString::fromStdString(folder),
                 QString::fromLatin1(stop)});
    QByteArray said;
    while (!said.contains("STOP") && !said.contains("END") && child.waitForReadyRead(patientMs(60000)))
        said += child.readAllStandardOutput();
    child.kill();
    child.waitForFinished(patientMs(30000));
    return said.contains("STOP") && child.exitStatus() == QProcess::CrashExit;
}

// The trasher a start settles with, for the home given.
Trasher trasherOf(const std::string& home) {
    return Trasher{DeletionGuard(Url::fromPath(home), {}), Url::fromPath(FreedesktopTrash::homeTrashFiles(home))};
}

// A move's row as its journal writes it: the item and the info file that is to claim its name.
QString row(const RemovedItem& item, const std::string& info) {
    nlohmann::json json = item.toJson();
    json["info"] = FolderDescent::identify(info)->item.text();
    return QString::fromStdString(json.dump());
}

// The names of a folder's entries, each without `suffix`.
std::set<std::string> names(const std::vector<std::string>& list, const char* suffix = "") {
    std::set<std::string> found;
    for (const std::string& each : list)
        found.insert(each.substr(0, each.size() - std::strlen(suffix)));
    return found;
}

int underWay(const std::string& store) {
    return execute(store, QStringLiteral("SELECT COUNT(*) FROM removals_under_way")).toInt();
}

// A process of this program, started without Qt, so that nothing reaps it behind the test's back:
// once killed it stays a zombie until reaped.
struct Spawned {
    pid_t pid = -1;
    int output = -1;

    ~Spawned() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (output >= 0)
            ::close(output);
    }
    // Its output up to and with the first line.
    std::string firstLine() const {
        std::string line;
        char byte = 0;
        while (line.find('\n') == std::string::npos && ::read(output, &byte, 1) == 1)
            line += byte;
        return line;
    }
};

void spawn(Spawned& child, const std::vector<std::string>& arguments) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(channel[1]);
    child.output = channel[0];
}

// The state letter /proc gives the process ("Z" for a zombie).
char stateOf(pid_t pid) {
    const std::optional<std::string> stat = Fs::readFile("/proc/" + std::to_string(pid) + "/stat", 4096);
    const std::size_t end = stat ? stat->rfind(") ") : std::string::npos;
    return end == std::string::npos || end + 2 >= stat->size() ? '?' : (*stat)[end + 2];
}

} // namespace

namespace dovrane::testing {

int journaledMoveChild(const std::string& home, const std::string& folder, const std::string& stop) {
    const char* store = std::getenv("APP_STORE");
    if (!store || !ModelContainer::open(store))
        return 3;
    const Trasher trasher = trasherOf(home);
    std::vector<Trasher::Candidate> candidates;
    std::vector<std::string> files = Fs::list(folder);
    std::sort(files.begin(), files.end());
    for (const std::string& file : files)
        candidates.push_back({Url::fromPath(Path::join(folder, file)), 1, 1, false});
    int recorded = 0;
    const auto reached = [&](RemovalJournal::Point point) {
        recorded += point == RemovalJournal::Point::recorded;
        const bool here = (stop == "first" && recorded == 1) || (stop == "between" && recorded == 2) ||
                          (stop == "moving" && recorded == 2 && point == RemovalJournal::Point::recorded) ||
                          (stop == "last" && point == RemovalJournal::Point::moved);
        if (!here)
            return;
        say("STOP\n");
        if (stop != "moving")
            for (;;)
                ::pause();
    };
    const auto moved =
        RemovalJournal::move(trasher, trasher.plan(candidates), store, Date::now(), Wording::safeItems(), reached);
    for (const TrashFailure& failure : moved.outcome.failed)
        std::fprintf(stderr, "%s: %s\n", failure.path.path().c_str(), failure.reason.c_str());
    say("END\n");
    return 0;
}

int journaledPutBackChild(const std::string& home, const std::string& stop) {
    const char* store = std::getenv("APP_STORE");
    auto container = ModelContainer::open(store ? store : "");
    const auto records = store && container ? (*container)->removals() : std::nullopt;
    if (!records || records->empty())
        return 3;
    const auto reached = [&](RemovalJournal::Point point) {
        if ((stop == "returned" && point == RemovalJournal::Point::returned) ||
            (stop == "tried" && point == RemovalJournal::Point::tried)) {
            say("STOP\n");
            for (;;)
                ::pause();
        }
    };
    const std::shared_ptr<Removal>& record = records->front();
    RemovalJournal::putBack(trasherOf(home), record->uuid(), record->items(), store, reached);
    say("END\n");
    return 0;
}

int journalOwnerChild(int argc, char** argv) {
    const std::string store = argv[2];
    if (std::strcmp(argv[3], "own-pid-namespace") == 0) {
        // As a sandbox sharing the home runs: its processes numbered anew, /proc its own.
        if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
            say("NO NAMESPACE\n");
            return 0;
        }
        // The first process of the new namespace is its init: pid 1 as seen inside.
        const pid_t inside = ::fork();
        if (inside < 0)
            return 3;
        if (inside > 0) {
            while (::waitpid(inside, nullptr, 0) < 0 && errno == EINTR) {
            }
            return 0;
        }
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // ends with the process that started it
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("proc", "/proc", "proc", 0, nullptr) != 0)
            return 3;
    }
    QCoreApplication application(argc, argv);
    const auto journal = RemovalJournal::begin(store, Date::now(), Wording::plain(QStringLiteral("Owner")));
    if (!journal)
        return 3;
    say(("BEGUN as " + std::to_string(::getpid()) + "\n").c_str());
    for (;;)
        ::pause();
}

int powerCutChild(int argc, char** argv) {
    const int items = std::atoi(argv[2]);
    const std::string stop = argv[3];
    // Made before Qt starts a thread: the disk is mounted in a namespace of this process's own.
    std::unique_ptr<LoopDisk> disk;
    if (auto reason = LoopDisk::make(disk)) {
        say(("SKIP " + *reason + "\n").c_str());
        return 0;
    }
    QCoreApplication application(argc, argv);
    const std::string home = disk->root() + "/home", folder = home + "/.cache/many";
    const std::string store = home + "/.local/share/Dovrane/Dovrane.store";
    const std::string files = FreedesktopTrash::homeTrashFiles(home), info = Path::join(Path::parent(files), "info");
    for (int index = 0; index < items; ++index)
        writeFile(folder + "/cache-" + std::to_string(10000 + index), std::to_string(index));
    makeFolder(Path::parent(store));
    if (!ModelContainer::open(store)) {
        say("the store cannot be made\nDONE\n");
        return 0;
    }
    std::string problems;
    const auto problem = [&problems](const std::string& text) {
        if (std::count(problems.begin(), problems.end(), '\n') < 8)
            problems += text + "\n";
    };
    {
        QProcess mover;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("APP_STORE"), QString::fromStdString(store));
        mover.setProcessEnvironment(environment);
        mover.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--journaled-move"), QString::fromStdString(home), QString::fromStdString(folder),
                     QString::fromStdString(stop)});
        QByteArray said;
        while (!said.contains("STOP") && !said.contains("END") && mover.waitForReadyRead(patientMs(60000)))
            said += mover.readAllStandardOutput();
        if (said.contains("END"))
            mover.waitForFinished(patientMs(30000));
        if (!said.contains(stop == "end" ? "END" : "STOP"))
            problem("the move never reached its stop: " + said.toStdString());
        if (!disk->cutPower())
            problem("the power could not be cut");
        mover.kill();
        mover.waitForFinished(patientMs(30000));
    }
    if (auto failed = disk->mountAgain()) {
        say(("mounting again failed: " + *failed + "\nDONE\n").c_str());
        return 0;
    }

    // What the next start finds.
    if (!RemovalJournal::settle(store, trasherOf(home)))
        problem("the journal could not be settled");
    std::set<std::string> recorded;
    const auto journal = ModelContainer::open(store);
    const auto records = journal ? (*journal)->removals() : std::nullopt;
    if (!records)
        problem("the journal cannot be read");
    for (const auto& record : records.value_or(std::vector<std::shared_ptr<Removal>>()))
        for (const RemovedItem& item : record->items()) {
            recorded.insert(item.trashPath.lastPathComponent());
            if (!Trasher::isInTrash(item))
                problem(item.trashPath.path() + " is recorded but not in the Trash with its info file");
        }
    const std::set<std::string> inTrash = names(Fs::list(files));
    if (recorded != inTrash)
        problem(std::to_string(inTrash.size()) + " items in the Trash, " + std::to_string(recorded.size()) +
                " recorded");
    if (names(Fs::list(info), ".trashinfo") != inTrash)
        problem("the info files are not those of the items in the Trash");
    for (const std::string& name : inTrash)
        if (!FreedesktopTrash::recordedOriginal(Path::join(files, name)))
            problem(name + ": its info file is not whole");

    const Trasher trasher{DeletionGuard(Url::fromPath(home), {}), Url::fromPath(files)};
    for (const auto& record : records.value_or(std::vector<std::shared_ptr<Removal>>()))
        for (const RemovedItem& item : record->items())
            if (trasher.putBack(item) != Trasher::PutBackResult::restored())
                problem(item.trashPath.path() + " did not come back");
    if (int(Fs::list(folder).size()) != items || !Fs::list(files).empty())
        problem(std::to_string(Fs::list(folder).size()) + " items are back at their place");
    say((problems + "DONE\n").c_str());
    return 0;
}

} // namespace dovrane::testing

class RemovalJournalTests : public QObject {
    Q_OBJECT

private slots:
    void aMoveKilledAtAnyPointLeavesEveryItemInTheTrashWithItsRecord_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<int>("recorded"); // the items of the record after the restart; -1: any
        QTest::newRow("before the first rename") << QStringLiteral("first") << 0;
        QTest::newRow("between batches") << QStringLiteral("between") << int(RemovalJournal::batch);
        QTest::newRow("after the last one") << QStringLiteral("last") << items;
        QTest::newRow("while items move") << QStringLiteral("moving") << -1;
    }

    void aMoveKilledAtAnyPointLeavesEveryItemInTheTrashWithItsRecord() {
        QFETCH(QString, stop);
        QFETCH(int, recorded);
        ModelFixture fixture;
        const std::string folder = fixture / ".cache/many";
        for (int index = 0; index < items; ++index)
            writeFile(folder + "/cache-" + std::to_string(1000 + index), std::to_string(index));
        QVERIFY(fixture.container().removals()); // the store and its tables exist
        QVERIFY(killedInAMove(fixture.home(), folder, stop.toLatin1().constData()));

        AppModel& model = fixture.makeModel();
        await(model.journalSettled());
        const std::string files = FreedesktopTrash::homeTrashFiles(fixture.home());
        const std::string info = Path::join(Path::parent(files), "info");
        const auto journal = fixture.container().removals();
        QVERIFY(journal);
        const std::set<std::string> inTrash = names(Fs::list(files));
        // No info file is left without its item, and nothing stays under way.
        QCOMPARE(names(Fs::list(info), ".trashinfo"), inTrash);
        QCOMPARE(execute(fixture.storePath(), QStringLiteral("SELECT COUNT(*) FROM removals_under_way")).toInt(), 0);
        QCOMPARE(execute(fixture.storePath(), QStringLiteral("SELECT COUNT(*) FROM removal_moves")).toInt(), 0);
        if (recorded == 0 || (recorded < 0 && inTrash.empty())) {
            QVERIFY(journal->empty());
            QVERIFY(inTrash.empty());
            QCOMPARE(int(Fs::list(folder).size()), items);
            return;
        }
        QCOMPARE(journal->size(), size_t(1));
        const std::shared_ptr<Removal> record = journal->front();
        QCOMPARE(record->title(), QStringLiteral("Safe items"));
        if (recorded > 0)
            QCOMPARE(int(record->items().size()), recorded);
        std::set<std::string> named;
        for (const RemovedItem& item : record->items()) {
            QVERIFY2(Trasher::isInTrash(item), item.trashPath.path().c_str());
            named.insert(item.trashPath.lastPathComponent());
        }
        QCOMPARE(named, inTrash);
        // What did not move is where it was.
        QCOMPARE(int(Fs::list(folder).size() + inTrash.size()), items);

        await(model.undo(record));
        QVERIFY(record->undone());
        QVERIFY(Fs::list(files).empty());
        QVERIFY(Fs::list(info).empty());
        QCOMPARE(int(Fs::list(folder).size()), items);
        QCOMPARE(Fs::readFile(folder + "/cache-1000"), std::optional<std::string>("0"));
    }

    // A Put Back is journaled as a move is. Killed between an item's return and the removal of its
    // info file, the next start removes that info file and leaves the rest for Put Back; killed
    // before its record is marked, with every item back, the next start marks it.
    void aPutBackKilledPartWayIsSettledAtTheNextStart_data() {
        QTest::addColumn<QString>("stop");
        QTest::newRow("between an item's return and its info file") << QStringLiteral("returned");
        QTest::newRow("before its record is marked") << QStringLiteral("tried");
    }

    void aPutBackKilledPartWayIsSettledAtTheNextStart() {
        QFETCH(QString, stop);
        ModelFixture fixture;
        const std::vector<std::string> paths = {fixture / "Downloads/a.zip", fixture / "Downloads/b.zip"};
        for (const std::string& path : paths)
            writeFile(path, path);
        QVERIFY(fixture.container().removals());
        const Trasher trasher = trasherOf(fixture.home());
        const auto moved = RemovalJournal::move(
            trasher, trasher.plan({{Url::fromPath(paths[0]), 1, 1, false}, {Url::fromPath(paths[1]), 1, 1, false}}),
            fixture.storePath(), Date::now(), Wording::plain(QStringLiteral("Downloads")));
        QVERIFY(moved.saved);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--journaled-put-back"), QString::fromStdString(fixture.home()), stop});
        QByteArray said;
        while (!said.contains("STOP") && !said.contains("END") && child.waitForReadyRead(patientMs(60000)))
            said += child.readAllStandardOutput();
        child.kill();
        child.waitForFinished(patientMs(30000));
        QVERIFY(said.contains("STOP"));
        const std::string info = Path::join(Path::parent(FreedesktopTrash::homeTrashFiles(fixture.home())), "info");
        // The first item is back; killed before its info file went, that file is left behind.
        QCOMPARE(Fs::readFile(paths[0]), std::optional<std::string>(paths[0]));
        QCOMPARE(Fs::exists(Path::join(info, "a.zip.trashinfo")), stop == QStringLiteral("returned"));

        AppModel& model = fixture.makeModel();
        await(model.journalSettled());
        QCOMPARE(execute(fixture.storePath(), QStringLiteral("SELECT COUNT(*) FROM put_backs_under_way")).toInt(), 0);
        QVERIFY(!Fs::exists(Path::join(info, "a.zip.trashinfo")));
        const std::shared_ptr<Removal> record = fixture.container().removals()->front();
        QCOMPARE(record->undone(), stop == QStringLiteral("tried"));
        if (!record->undone()) {
            QVERIFY(Trasher::isInTrash(record->items()[1]));
            await(model.undo(record));
            QVERIFY(record->undone());
        }
        QVERIFY(Fs::list(info).empty());
        QCOMPARE(Fs::readFile(paths[1]), std::optional<std::string>(paths[1]));
    }

    // Two cleanups of the same items: one journaled its first batch's names and is killed before it
    // claimed them; the other took those names, but for one that another program took first with
    // an empty info file. After a start each item in the Trash is in one record, the other's, and
    // the other program's info file stays.
    void twoMovesOfTheSameItemsLeaveEachItemInOneRecord() {
        ModelFixture fixture;
        const std::string folder = fixture / ".cache/many";
        for (int index = 0; index < items; ++index)
            writeFile(folder + "/cache-" + std::to_string(1000 + index), std::to_string(index));
        QVERIFY(fixture.container().removals());
        const std::string files = FreedesktopTrash::homeTrashFiles(fixture.home());
        const std::string foreign = Path::join(Path::parent(files), "info/cache-1001.trashinfo");
        QProcess killed;
        killed.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--journaled-move"), QString::fromStdString(fixture.home()),
                      QString::fromStdString(folder), QStringLiteral("first")});
        QByteArray said;
        while (!said.contains("STOP") && killed.waitForReadyRead(patientMs(60000)))
            said += killed.readAllStandardOutput();
        QVERIFY(said.contains("STOP"));
        writeFile(foreign, "");
        const Trasher trasher = trasherOf(fixture.home());
        std::vector<Trasher::Candidate> candidates;
        for (const std::string& file : Fs::list(folder))
            candidates.push_back({Url::fromPath(Path::join(folder, file)), 1, 1, false});
        const auto moved = RemovalJournal::move(trasher, trasher.plan(candidates), fixture.storePath(), Date::now(),
                                                Wording::plain(QStringLiteral("Other")));
        QVERIFY(moved.saved);
        QCOMPARE(int(moved.outcome.removed.size()), items);
        killed.kill();
        killed.waitForFinished(patientMs(30000));

        AppModel& model = fixture.makeModel();
        await(model.journalSettled());
        const auto journal = fixture.container().removals();
        QVERIFY(journal);
        QCOMPARE(journal->size(), size_t(1));
        QCOMPARE(journal->front()->title(), QStringLiteral("Other"));
        QCOMPARE(int(Fs::list(files).size()), items);
        QCOMPARE(Fs::readFile(foreign), std::optional<std::string>(""));
        // Every info file is an item's, or the other program's.
        std::set<std::string> info = names(Fs::list(Path::join(Path::parent(files), "info")), ".trashinfo");
        info.erase("cache-1001");
        QCOMPARE(info, names(Fs::list(files)));
    }

    // A row of a removal under way is the user's to edit. One that names a folder called files
    // beside an info folder, a link to /etc, and one that names an info file in no Trash at all
    // are dropped when a start settles them as the user: no record, and nothing removed.
    void aForgedRowOutsideATrashIsDroppedAndTouchesNothing() {
        if (geteuid() != 0)
            QSKIP("the settling user must not own /etc, so the test runs it as another user, which takes root");
        TempDir dir;
        const OrdinaryUser user = ordinaryUser();
        const std::string home = dir / "home", store = dir / "store/Dovrane.store";
        const std::string stolen = Path::join("/etc", Path::lastComponent(dir.path()));
        const auto removeStolen = qScopeGuard([&] { ::unlink(stolen.c_str()); });
        writeFile(stolen, "root's");
        const std::vector<std::string> etc = Fs::list("/etc");
        makeFolder(home + "/fake/info");
        makeSymlink("/etc", home + "/fake/files");
        const std::string fakeInfo = home + "/fake/info/" + Path::lastComponent(stolen) + ".trashinfo";
        writeFile(fakeInfo, FreedesktopTrash::infoText(home + "/shadow-copy", 0));
        writeFile(home + "/Documents/info/notes.trashinfo", "");
        makeFolder(Path::parent(store));
        QVERIFY(ModelContainer::open(store));
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        execute(store, QStringLiteral("INSERT INTO removals_under_way (date, title, uuid, owner) "
                                      "VALUES (0, 'Forged', '%1', '1 0')")
                           .arg(uuid));
        const RemovedItem rootFile{Url::fromPath(home + "/shadow-copy"),
                                   Url::fromPath(home + "/fake/files/" + Path::lastComponent(stolen)), 6, false,
                                   FolderDescent::identify(stolen)->item};
        const RemovedItem notes{Url::fromPath(home + "/Documents/notes"),
                                Url::fromPath(home + "/Documents/files/notes"), 1, false};
        for (const QString& each : {row(rootFile, fakeInfo), row(notes, home + "/Documents/info/notes.trashinfo")})
            execute(store, QStringLiteral("INSERT INTO removal_moves (removal, item) "
                                          "SELECT id, '%1' FROM removals_under_way")
                               .arg(each));
        QCOMPARE(::chmod(dir.path().c_str(), 0755), 0);
        chownRecursively(dir.path(), user.user, user.group);
        const auto before = snapshotTree(home);

        QCOMPARE(asOrdinaryUser([&] {
                     const auto written = RemovalJournal::settle(store, trasherOf(home));
                     return written ? std::to_string(*written) : std::string("not settled");
                 }),
                 std::string("0"));
        QCOMPARE(execute(store, QStringLiteral("SELECT COUNT(*) FROM removals")).toInt(), 0);
        QCOMPARE(execute(store, QStringLiteral("SELECT COUNT(*) FROM removals_under_way")).toInt(), 0);
        QCOMPARE(snapshotTree(home), before);
        QCOMPARE(Fs::readFile(stolen), std::optional<std::string>("root's"));
        QCOMPARE(Fs::list("/etc"), etc);
    }

    // The disk's power is cut once the move ended, while its items move, and once all moved with
    // the record not yet finished: after the next start every item in the Trash has its record and
    // its whole info file, and comes back with Put Back. Where no loop device can be had, the
    // order of writes that makes this hold is checked by the trasher's own tests.
    void aPowerCutAtAnyMomentLeavesEveryItemInTheTrashWhole_data() {
        QTest::addColumn<QString>("stop");
        QTest::newRow("after the move ended") << QStringLiteral("end");
        QTest::newRow("while items move") << QStringLiteral("moving");
        QTest::newRow("before the record is finished") << QStringLiteral("last");
    }

    void aPowerCutAtAnyMomentLeavesEveryItemInTheTrashWhole() {
        QFETCH(QString, stop);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--power-cut"), QString::number(cutItems), stop});
        if (!child.waitForFinished(patientMs(120000))) {
            child.kill();
            child.waitForFinished(-1);
            QFAIL("the power cut's run did not end");
        }
        const QString said = QString::fromUtf8(child.readAllStandardOutput());
        if (said.startsWith(QStringLiteral("SKIP ")))
            QSKIP(qPrintable(said.mid(5).trimmed()));
        QCOMPARE(said, QStringLiteral("DONE\n"));
    }

    // Whether a move's owner runs is what its lock says, seen from anywhere: a zombie holds none,
    // and a process in a PID namespace of its own (a sandbox that shares the home) holds its own
    // whatever its pid is there.
    void aMovesOwnerCountsAsRunningExactlyWhileItLives_data() {
        QTest::addColumn<bool>("ownNamespace");
        QTest::newRow("then a zombie") << false;
        QTest::newRow("in a PID namespace of its own") << true;
    }

    void aMovesOwnerCountsAsRunningExactlyWhileItLives() {
        QFETCH(bool, ownNamespace);
        ModelFixture fixture;
        QVERIFY(fixture.container().removals());
        const std::string store = fixture.storePath();
        Spawned owner;
        spawn(owner, {QCoreApplication::applicationFilePath().toStdString(), "--journal-owner", store,
                      ownNamespace ? "own-pid-namespace" : "shared"});
        QVERIFY(owner.pid > 0);
        const std::string said = owner.firstLine();
        if (said == "NO NAMESPACE\n")
            QSKIP("a PID namespace of its own needs root");
        QVERIFY2(said.starts_with("BEGUN"), said.c_str());
        QCOMPARE(RemovalJournal::settle(store, trasherOf(fixture.home())), std::optional<int>(0));
        QCOMPARE(underWay(store), 1);

        QCOMPARE(::kill(owner.pid, SIGKILL), 0);
        if (!ownNamespace)
            QVERIFY(waitFor([&] { return stateOf(owner.pid) == 'Z'; }));
        QVERIFY(waitFor(
            [&] { return RemovalJournal::settle(store, trasherOf(fixture.home())) && underWay(store) == 0; }, 10000));
    }

    // A record under way of a process that still runs is its own; one that a store refused to
    // finish is kept by the model for its next save, and settling later adds no second record.
    void aRunningMoveIsLeftAloneAndARecordSavedLaterIsNotSettledTwice() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string store = fixture.storePath();
        {
            auto running = RemovalJournal::begin(store, Date::now(), Wording::plain("Running"));
            QVERIFY(running);
            QCOMPARE(RemovalJournal::settle(store, model.trasher()), std::optional<int>(0));
        }
        QCOMPARE(execute(store, QStringLiteral("SELECT COUNT(*) FROM removals_under_way")).toInt(), 1);
        execute(store, QStringLiteral("DELETE FROM removals_under_way"));

        execute(store, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON removals "
                                      "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
        const std::string file = fixture / "Downloads/a.zip";
        writeFile(file, "a");
        await(model.requestCleanup({CleanupItem(Url::fromPath(file), std::nullopt, 1000, 1, std::nullopt, "why", "test",
                                                Safety::safe, CleanupAction::trash)},
                                   "Full disk"));
        await(model.perform(*model.sheet()->cleanupRequest()));
        QVERIFY(model.notice()->contains(QStringLiteral("could not be saved")));
        execute(store, QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(fixture.container().save());
        QCOMPARE(*fixture.container().removalCount(), 1);

        // As if the process had been killed since: another start settles the record it left.
        execute(store, QStringLiteral("UPDATE removals_under_way SET owner = '1 0'"));
        QCOMPARE(RemovalJournal::settle(store, model.trasher()), std::optional<int>(0));
        QCOMPARE(*fixture.container().removalCount(), 1);
        QCOMPARE(execute(store, QStringLiteral("SELECT COUNT(*) FROM removals_under_way")).toInt(), 0);
        QVERIFY(Trasher::isInTrash(fixture.container().removals()->front()->items().front()));
    }
};

DOVRANE_MODEL_SUITE(RemovalJournalTests)
#include "RemovalJournalTests.moc"
