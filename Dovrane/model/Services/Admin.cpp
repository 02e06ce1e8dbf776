#include "Services/Admin.h"

#include "Services/ChildProcess.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QDebug>
#include <QPromise>
#include <QThreadPool>

#include <sys/stat.h>

#include <memory>

namespace dovrane::Admin {

namespace {

// One thread, made at the first run and kept for the life of the process. Never destroyed: at
// exit nobody should wait for a password dialog still on show.
QThreadPool& adminThread() {
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        made->setExpiryTimeout(-1);
        return made;
    }();
    return *pool;
}

// A promise fulfilled on the admin thread. Not QtConcurrent: a thread that waits on a
// QtConcurrent future may run a queued job itself, and two dialogs would show at once.
template <typename Job> auto onAdminThread(Job job) -> QFuture<decltype(job())> {
    using Result = decltype(job());
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    adminThread().start([promise, job = std::move(job)] {
        promise->addResult(job());
        promise->finish();
    });
    return future;
}

// pkexec's own exit statuses: the dialog was dismissed, or the password refused.
constexpr int pkexecDismissed = 126;
constexpr int pkexecNotAuthorized = 127;

Shell::AdminAnswer runNow(const std::vector<std::string>& argv) {
    auto pid = ChildProcess::startInOwnSession(argv);
    if (!pid)
        return false;
    auto status = ChildProcess::waitForExit(*pid);
    if (!status || *status == pkexecDismissed || *status == pkexecNotAuthorized)
        return false;
    return Shell::AdminAnswer::exited(*status);
}

// Runs the command through pkexec; nothing when there is no pkexec.
std::optional<QFuture<Shell::AdminAnswer>> start(const std::string& command, const SystemPaths& paths) {
    if (!Fs::isExecutableFile(paths.pkexec)) {
        qWarning().noquote() << QStringLiteral("Administrator rights need pkexec, which is not at %1.")
                                    .arg(QString::fromStdString(paths.pkexec));
        return std::nullopt;
    }
    std::vector<std::string> argv = {paths.pkexec, paths.shell, "-c", command};
    return onAdminThread([argv = std::move(argv)] { return runNow(argv); });
}

} // namespace

QFuture<bool> run(const std::string& command, const QString& prompt, const SystemPaths& paths) {
    Q_UNUSED(prompt) // polkit words its own dialog
    auto started = start(command, paths);
    if (!started)
        return QtFuture::makeReadyFuture(false);
    return started->then(QtFuture::Launch::Sync, [](const Shell::AdminAnswer& answer) { return bool(answer); });
}

Shell::AdminAnswer runAndWait(const std::string& command, const QString& prompt, const SystemPaths& paths) {
    Q_UNUSED(prompt)
    auto started = start(command, paths);
    if (!started)
        return false;
    started->waitForFinished();
    return started->result();
}

QFuture<Emptied> emptyTrash(const Url& home) {
    return onAdminThread([trash = FreedesktopTrash::homeTrash(home.path())] { return emptyHomeTrash(trash); });
}

Emptied emptyHomeTrash(const std::string& trashFolder) {
    using FreedesktopTrash::Condition;
    switch (FreedesktopTrash::condition(trashFolder)) {
    case Condition::missing:
        return {Emptying::emptied};
    case Condition::linked:
        return {Emptying::linked};
    case Condition::foreign:
        return {Emptying::foreign};
    case Condition::readOnly:
        return {Emptying::readOnly};
    case Condition::usable:
        break;
    }
    const std::string files = Path::join(trashFolder, "files");
    const std::string info = Path::join(trashFolder, "info");
    std::int64_t freed = 0;
    for (const std::string& name : Fs::list(files))
        Fs::removeAll(Path::join(files, name), freed);
    // An item that stayed (something mounted inside it) keeps its info file, so it can still
    // be put back.
    for (const std::string& name : Fs::list(info))
        if (Path::extension(name) == "trashinfo" && !Fs::exists(Path::join(files, Path::deletingExtension(name))))
            Fs::removeAll(Path::join(info, name), freed);
    // A file of ours; anything else of that name is left alone.
    const std::string sizes = Path::join(trashFolder, "directorysizes");
    if (struct stat status; lstat(sizes.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        Fs::removeAll(sizes, freed);
    return {Fs::list(files).empty() ? Emptying::emptied : Emptying::partly, freed};
}

} // namespace dovrane::Admin
