#include "App/StartupProblem.h"

#include "AppModel/ScanCache.h"
#include "AppModel/UpdatesCache.h"

#include <DovraneKit/core/Path.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>

namespace dovrane::StartupProblem {

bool canShowWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

namespace {

QString shown(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString reason(const std::string& text) { return QString::fromStdString(text); }

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

// Standard error's account of the store, for a start from a terminal.
void sayOfStore(const Store::Recovery& recovery) {
    using Kind = Store::Recovery::Kind;
    if (recovery.kind == Kind::linked) {
        say("Not opening the database at " + recovery.path + ": " + recovery.link.path + " is a symbolic link to " +
            recovery.link.target + "; removals are recorded only until Dovrane quits");
        return;
    }
    say("Could not open the database at " + recovery.path + ": " + recovery.reason);
    if (recovery.kind == Kind::setAside) {
        std::string line = "The damaged database is kept at " + recovery.aside + "; ";
        line += std::to_string(recovery.keptRemovals);
        say(line + " journal records were carried over");
    } else if (!recovery.aside.empty())
        say("The damaged database is kept at " + recovery.aside + "; removals are recorded only until Dovrane quits");
    else
        say("Removals are recorded only until Dovrane quits");
}

// Of a store that is not damaged and could not be opened: for each cause its own advice.
QString describeUnopened(const Store::Recovery& recovery) {
    using Cause = ModelContainer::OpenFailure::Cause;
    switch (recovery.cause) {
    case Cause::readOnly:
        // The user's own word: Dovrane does not undo it, and says how to.
        return QCoreApplication::translate(
                   "dovrane::StartupProblem",
                   "Dovrane does not write its database %1, since it was set to read-only (%2): removals made now "
                   "are recorded only until Dovrane quits. To have them kept again, give yourself write permission "
                   "on the file and its folder, then start Dovrane again.")
            .arg(shown(recovery.path), reason(recovery.reason));
    case Cause::newer:
        return QCoreApplication::translate(
                   "dovrane::StartupProblem",
                   "Dovrane's database %1 was written by a newer version of Dovrane, and this version leaves it as it "
                   "is: removals made now are recorded only until Dovrane quits. To use the database again, install "
                   "the newer version of Dovrane; to start a new database instead, quit Dovrane and move the file "
                   "elsewhere.")
            .arg(shown(recovery.path));
    case Cause::notWritable:
        return QCoreApplication::translate(
                   "dovrane::StartupProblem",
                   "Dovrane may not write its database %1 (%2) and leaves it as it is: removals made now are recorded "
                   "only until Dovrane quits. Check that the file and its folder belong to you and that the disk is "
                   "not mounted read-only, then start Dovrane again.")
            .arg(shown(recovery.path), reason(recovery.reason));
    case Cause::other:
        break;
    }
    return QCoreApplication::translate(
               "dovrane::StartupProblem",
               "Dovrane could not open its database %1 (%2) and leaves it as it is: removals made now are "
               "recorded only until Dovrane quits. Check that the file and its folder can be read and written, "
               "then start Dovrane again.")
        .arg(shown(recovery.path), reason(recovery.reason));
}

} // namespace

QString describe(const Store::Recovery& recovery) {
    using Kind = Store::Recovery::Kind;
    switch (recovery.kind) {
    case Kind::setAside: {
        QString text = QCoreApplication::translate(
                           "dovrane::StartupProblem",
                           "Dovrane's database could not be read and was replaced by a new one. The old file is kept "
                           "as %1.")
                           .arg(shown(recovery.aside));
        if (recovery.keptRemovals > 0)
            text += QLatin1Char(' ') +
                    QCoreApplication::translate("dovrane::StartupProblem",
                                                "The %Ln removals that could still be read from it were carried over.",
                                                nullptr, int(recovery.keptRemovals));
        // What a damaged journal can no longer list is still in the Trash.
        return text + QLatin1Char(' ') +
               QCoreApplication::translate("dovrane::StartupProblem",
                                           "Anything the old database listed that is missing from Cleaned Up can "
                                           "still be put back from the Trash with your file manager.");
    }
    case Kind::linked:
        // The file the link names is left alone: the user put it there.
        return (recovery.link.targetExists
                    ? QCoreApplication::translate(
                          "dovrane::StartupProblem",
                          "Dovrane's database %1 is a link to %2, and Dovrane does not write through links: removals "
                          "made now are recorded only until Dovrane quits. To use the database again, quit Dovrane "
                          "and move %2 to %1 in place of the link.")
                    : QCoreApplication::translate(
                          "dovrane::StartupProblem",
                          "Dovrane's database %1 is a link to %2, which is not there, and Dovrane does not write "
                          "through links: removals made now are recorded only until Dovrane quits. Quit Dovrane and "
                          "move the database to %1 in place of the link, or remove the link to start a new one."))
            .arg(shown(recovery.link.path), shown(recovery.link.target));
    case Kind::unusable:
        if (!recovery.aside.empty())
            return QCoreApplication::translate(
                       "dovrane::StartupProblem",
                       "Dovrane's database could not be read. The old file is kept as %1, but no new database could "
                       "be made in its place (%2): removals made now are recorded only until Dovrane quits. Check "
                       "that the folder %3 can be written, then start Dovrane again.")
                .arg(shown(recovery.aside), reason(recovery.reason), shown(Path::parent(recovery.path)));
        if (recovery.damaged)
            return QCoreApplication::translate(
                       "dovrane::StartupProblem",
                       "Dovrane's database %1 could not be read (%2), and it could not be moved aside to make room "
                       "for a new one: removals made now are recorded only until Dovrane quits. Check that the "
                       "folder %3 can be written, then start Dovrane again.")
                .arg(shown(recovery.path), reason(recovery.reason), shown(Path::parent(recovery.path)));
        return describeUnopened(recovery);
    }
    return {};
}

QString describe(const AppFolders::FolderProblem& problem) {
    return (problem.name == "settings folder"
                ? QCoreApplication::translate(
                      "dovrane::StartupProblem",
                      "Dovrane cannot keep its settings in the folder %1 (%2), so changes to them are not kept. Check "
                      "that the folder can be created and written, then start Dovrane again.")
                : QCoreApplication::translate(
                      "dovrane::StartupProblem",
                      "Dovrane cannot keep its caches in the folder %1 (%2), so the last scan and update check are "
                      "not kept for the next start. Check that the folder can be created and written, then start "
                      "Dovrane again."))
        .arg(shown(problem.path), reason(problem.reason));
}

QString describeCacheLink(const Store::Link& link) {
    return QCoreApplication::translate(
               "dovrane::StartupProblem",
               "Dovrane's cache %1 is a link to %2, which Dovrane neither reads nor writes through, so the cache is "
               "not kept. Remove the link to have it kept again.")
        .arg(shown(link.path), shown(link.target));
}

void showOver(QWidget* window, const QString& problems) {
    auto* box = new QMessageBox(QMessageBox::Warning, QCoreApplication::translate("dovrane::StartupProblem", "Dovrane"),
                                problems, QMessageBox::Ok, window);
    // Paths are shown as they are, never read as markup, and can be copied.
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

std::unique_ptr<QMessageBox> noDatabaseBox(const std::string& path, const std::string& why) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setWindowTitle(QCoreApplication::translate("dovrane::StartupProblem", "Dovrane"));
    box->setText(
        QCoreApplication::translate("dovrane::StartupProblem",
                                    "Dovrane could not open its database %1, nor make a temporary one in its place.")
            .arg(shown(path)));
    box->setInformativeText(QCoreApplication::translate(
        "dovrane::StartupProblem",
        "Check that the file and its folder can be read and written, then start Dovrane again."));
    box->setDetailedText(reason(why));
    box->setDefaultButton(
        box->addButton(QCoreApplication::translate("dovrane::StartupProblem", "Quit"), QMessageBox::RejectRole));
    return box;
}

WindowStart openForWindow() {
    Store::WindowStore store = Store::openForWindow();
    QStringList problems;
    if (store.recovery) {
        sayOfStore(*store.recovery);
        problems << describe(*store.recovery);
    }
    if (!store.container) {
        const std::string path = store.recovery ? store.recovery->path : Store::url(false).path();
        const std::string why = (store.recovery ? store.recovery->reason + "; " : std::string()) +
                                "no temporary database either: " + store.standInProblem;
        say("Could not make a temporary database either: " + store.standInProblem);
        if (canShowWindows())
            noDatabaseBox(path, why)->exec();
        return {};
    }
    for (const Url& cache : {ScanCache::url(), UpdatesCache::url()})
        if (auto link = Store::linkAt(cache.path()))
            problems << describeCacheLink(*link); // its reading says so on standard error
    // The caches sit beside the store: a store that could not be opened has said all there is.
    if (auto problem = AppFolders::startupProblem(); problem && !(store.recovery && problem->name == "caches folder")) {
        say(problem->message());
        problems << describe(*problem);
    }
    return {std::move(store.container), problems.join(QStringLiteral("\n\n"))};
}

bool reportUnusableFolder() {
    const auto problem = AppFolders::startupProblem();
    if (!problem)
        return false;
    say(problem->message());
    return true;
}

} // namespace dovrane::StartupProblem
