// What the window says when its start found the database or a folder of Dovrane's unusable:
// the window opens on a junk store and on a linked one, and a box over it tells which file is
// where and what to do, in English and German.

#include "App/DovraneApp.h"
#include "App/StartupProblem.h"
#include "ContentView/ContentView.h"
#include "Services/Translations.h"
#include "WindowFixture.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QCoreApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTest>

#include <map>
#include <utility>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// The text of the box over the window once it has shown and run its launch steps; empty
// without one.
QString problemsShown(DovraneApp& app) {
    app.showMainWindow();
    QMessageBox* box = nullptr;
    for (int round = 0; round < 100 && !(box && box->isVisible()); ++round) {
        QTest::qWait(10);
        box = app.window().findChild<QMessageBox*>();
    }
    return box && box->isVisible() && box->windowModality() == Qt::WindowModal ? box->text() : QString();
}

QString shown(const std::string& path) { return QString::fromStdString(path); }

} // namespace

class StartupTests : public QObject {
    Q_OBJECT

private slots:
    // Junk where the store should be: the window opens on a new store and says where the old
    // file is kept, and it is kept there byte for byte. A second start on junk keeps both.
    void theWindowOnAJunkStoreSaysWhereTheOldFileIsKept() {
        WindowFixture fixture;
        const std::string store = fixture.storePath();
        const auto english = qScopeGuard([] { Translations::install(); });
        for (const char* language : {"en", "de"}) {
            ScopedEnv chosen("APP_LANG", language);
            QVERIFY(Translations::install());
            const std::string junk = std::string("random bytes of a start in ") + language + "\x01\xff";
            writeFile(store, junk);
            auto started = StartupProblem::openForWindow();
            QVERIFY(started.container && !started.container->isTemporary());
            const std::string aside = store + (language == std::string("en") ? ".damaged" : ".damaged-2");
            QCOMPARE(Fs::readFile(aside), std::optional<std::string>(junk));
            DovraneApp app({"Dovrane"}, *started.container, fixture.services());
            app.tellAtLaunch(started.problems);
            const QString text = problemsShown(app);
            if (language == std::string("en"))
                QCOMPARE(text, QStringLiteral("Dovrane's database could not be read and was replaced by a new one. "
                                              "The old file is kept as %1. Anything the old database listed that is "
                                              "missing from Cleaned Up can still be put back from the Trash with "
                                              "your file manager.")
                                   .arg(shown(aside)));
            else
                QCOMPARE(text, QStringLiteral("Die Datenbank von Dovrane konnte nicht gelesen werden und wurde durch "
                                              "eine neue ersetzt. Die alte Datei ist unter %1 aufbewahrt. Was die "
                                              "alte Datenbank aufführte und unter „Aufgeräumt“ fehlt, kannst du "
                                              "weiterhin mit deinem Dateimanager aus dem Papierkorb zurücklegen.")
                                   .arg(shown(aside)));
        }
    }

    // Each fault of the store gets advice of its own, in English and in German, and the German
    // box calls the journal's records by the Cleaned Up page's own name.
    void eachStoreFaultHasItsOwnAdvice() {
        using Cause = ModelContainer::OpenFailure::Cause;
        using Kind = Store::Recovery::Kind;
        const auto english = qScopeGuard([] { Translations::install(); });
        const std::string path = "/home/u/.local/share/Dovrane/Dovrane.store";
        const auto recovery = [&](Kind kind, bool damaged, Cause cause, const std::string& reason) {
            Store::Recovery made;
            made.kind = kind;
            made.path = path;
            made.reason = reason;
            made.damaged = damaged;
            made.cause = cause;
            if (kind == Kind::setAside) {
                made.aside = path + ".damaged";
                made.keptRemovals = 3;
            }
            if (kind == Kind::linked)
                made.link = {path, "/media/disk/Dovrane.store", true};
            return made;
        };
        const std::vector<std::pair<const char*, Store::Recovery>> faults{
            {"damaged", recovery(Kind::setAside, true, Cause::other, "file is not a database")},
            {"damaged, not moved", recovery(Kind::unusable, true, Cause::other, "file is not a database")},
            {"linked", recovery(Kind::linked, false, Cause::other, "it is a symbolic link")},
            {"newer", recovery(Kind::unusable, false, Cause::newer, "it was written by a newer version")},
            {"not writable", recovery(Kind::unusable, false, Cause::notWritable, "it cannot be written")},
            {"read-only", recovery(Kind::unusable, false, Cause::readOnly, "it is read-only")},
            {"other", recovery(Kind::unusable, false, Cause::other, "disk I/O error")},
        };
        for (const char* language : {"en", "de"}) {
            ScopedEnv chosen("APP_LANG", language);
            QVERIFY(Translations::install());
            const bool german = language == std::string("de");
            std::map<QString, const char*> advice; // the last sentence of each text
            for (const auto& [fault, made] : faults) {
                const QString text = StartupProblem::describe(made);
                const QString last = text.section(QStringLiteral(". "), -1);
                QVERIFY2(!last.isEmpty() && advice.emplace(last, fault).second,
                         qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(fault), text)));
                const bool readAndWritten = text.contains(german ? QStringLiteral("gelesen und geschrieben")
                                                                 : QStringLiteral("read and written"));
                QVERIFY2(readAndWritten == (fault == std::string("other")), qPrintable(text));
            }
            const QString newer = StartupProblem::describe(faults[3].second);
            QVERIFY2(newer.contains(german ? QStringLiteral("neuere Version von Dovrane")
                                           : QStringLiteral("install the newer version of Dovrane")),
                     qPrintable(newer));
            const QString readOnly = StartupProblem::describe(faults[5].second);
            QVERIFY2(readOnly.contains(german ? QStringLiteral("schreibgeschützt") : QStringLiteral("read-only")),
                     qPrintable(readOnly));
            const QString damaged = StartupProblem::describe(faults[0].second);
            const QString cleanedUp = QCoreApplication::translate("dovrane::CleanedPage", "Cleaned Up");
            QVERIFY2(damaged.contains(german ? QStringLiteral("3 Einträge unter „%1“").arg(cleanedUp)
                                             : QStringLiteral("The 3 removals")),
                     qPrintable(damaged));
            QVERIFY2(!damaged.contains(QStringLiteral("Journal")), qPrintable(damaged));
        }
    }

    // A store that is a link: the window opens on a stand-in, never writing through the link,
    // and says where it points and how to put the database back.
    void theWindowOnALinkedStoreSaysWhereItPointsAndHowToPutItBack() {
        WindowFixture fixture;
        TempDir runtime;
        ScopedEnv runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
        const std::string store = fixture.storePath(), moved = fixture / "Disk/Dovrane.store";
        writeFile(moved, "the user's database");
        makeSymlink(moved, store);
        const auto english = qScopeGuard([] { Translations::install(); });
        for (const char* language : {"en", "de"}) {
            ScopedEnv chosen("APP_LANG", language);
            QVERIFY(Translations::install());
            auto started = StartupProblem::openForWindow();
            QVERIFY(started.container && started.container->isTemporary());
            DovraneApp app({"Dovrane"}, *started.container, fixture.services());
            app.tellAtLaunch(started.problems);
            const QString text = problemsShown(app);
            if (language == std::string("en"))
                QCOMPARE(text, QStringLiteral("Dovrane's database %1 is a link to %2, and Dovrane does not write "
                                              "through links: removals made now are recorded only until Dovrane "
                                              "quits. To use the database again, quit Dovrane and move %2 to %1 in "
                                              "place of the link.")
                                   .arg(shown(store), shown(moved)));
            else
                QVERIFY2(text.startsWith(QStringLiteral("Die Datenbank von Dovrane, %1, ist ein Verweis auf %2")
                                             .arg(shown(store), shown(moved))),
                         qPrintable(text));
        }
        QVERIFY(Fs::isSymlink(store));
        QCOMPARE(Fs::readFile(moved), std::optional<std::string>("the user's database"));
        QCOMPARE(Fs::list(fixture / "Disk"), std::vector<std::string>{"Dovrane.store"});
    }

    // A settings folder the window cannot write: it opens all the same and says which folder,
    // and a cache that is a link is named with where it points.
    void foldersAndCachesThatCannotBeUsedAreNamed() {
        WindowFixture fixture;
        writeFile(fixture / "config", "");
        ScopedEnv config("XDG_CONFIG_HOME", fixture / "config");
        writeFile(fixture / "elsewhere.json", "{}");
        makeSymlink(fixture / "elsewhere.json", fixture.storePath() + ".scan.json");
        auto started = StartupProblem::openForWindow();
        QVERIFY(started.container);
        QVERIFY2(started.problems.contains(
                     QStringLiteral("Dovrane's cache %1 is a link to %2")
                         .arg(shown(fixture.storePath() + ".scan.json"), shown(fixture / "elsewhere.json"))),
                 qPrintable(started.problems));
        QVERIFY2(started.problems.contains(QStringLiteral("Dovrane cannot keep its settings in the folder %1")
                                               .arg(shown(fixture / "config/Dovrane"))),
                 qPrintable(started.problems));
    }
};

DOVRANE_MODEL_SUITE(StartupTests)
#include "StartupTests.moc"
