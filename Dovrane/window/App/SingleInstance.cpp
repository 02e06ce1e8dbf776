#include "App/SingleInstance.h"

#include "Services/UrlLists.h"
#include "Store/Store.h"

#include <DovraneKit/system/FileSystem.h>

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dovrane {

namespace {

// The user id of the process at the other end of a local socket.
std::optional<uid_t> peerUser(qintptr descriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 || ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

std::string currentFolder() {
    std::error_code error;
    return std::filesystem::current_path(error).native();
}

} // namespace

bool SingleInstance::isPrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat status {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 07777) == 0700;
}

QString SingleInstance::socketName() {
    QString name = QStringLiteral("dovrane-instance");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display)
        display = std::getenv("DISPLAY");
    if (display && *display) {
        QString safe = QString::fromLocal8Bit(display);
        for (QChar& c : safe)
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-'))
                c = QLatin1Char('_');
        name += QLatin1Char('-') + safe;
    }
    return name;
}

QString SingleInstance::shortSocketName() {
    const QString full = socketName();
    if (full == QLatin1String("dovrane-instance"))
        return QStringLiteral("dv");
    // The display's part as an FNV-1a hash, so that each display still has a name of its own.
    std::uint32_t hash = 2166136261u;
    for (char c : full.toStdString())
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return QStringLiteral("dv-%1").arg(hash, 8, 16, QLatin1Char('0'));
}

bool SingleInstance::isUsableRuntimeFolder(const std::string& folder) {
    struct stat status {};
    return !folder.empty() && folder.front() == '/' && ::stat(folder.c_str(), &status) == 0 &&
           S_ISDIR(status.st_mode) && status.st_uid == ::getuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString SingleInstance::defaultPath() {
    // The runtime folder is the user's own by definition, unless the environment names a folder
    // another user owns or may write to (where anyone could listen first); then, and without
    // one, a private folder of ours. A fixed name in the shared temporary folder never.
    std::vector<std::string> folders;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && isUsableRuntimeFolder(runtime))
        folders.emplace_back(runtime);
    // Made only when it is the one chosen.
    const std::string run = Path::join(Store::folder(false), "run");
    folders.push_back(run);
    // The short name only where the usual one would pass the system's limit for a socket path.
    const std::string names[] = {socketName().toStdString(), shortSocketName().toStdString()};
    for (const std::string& folder : folders) {
        for (const std::string& name : names) {
            const std::string path = Path::join(folder, name);
            if (path.size() >= sizeof(sockaddr_un::sun_path))
                continue;
            if (folder != run)
                return QString::fromStdString(path);
            Store::folder(); // private whoever makes it first, this code or the store's
            if (!isPrivateFolder(run)) {
                std::fprintf(stderr, "Dovrane: %s is not a private folder of this user; not single-instance\n",
                             run.c_str());
                return {};
            }
            return QString::fromStdString(path);
        }
    }
    std::fprintf(stderr,
                 "Dovrane: the instance socket's path would be longer than the system allows (%zu bytes) in %s; "
                 "not single-instance\n",
                 sizeof(sockaddr_un::sun_path) - 1, run.c_str());
    return {};
}

bool SingleInstance::isExcluded(const std::vector<std::string>& arguments) {
    // The developer modes print their own lines and end: a running window must not swallow them.
    const auto has = [&arguments](const char* mode) {
        return std::find(arguments.begin(), arguments.end(), mode) != arguments.end();
    };
    const char* seed = std::getenv("APP_SEED");
    return Store::isOverridden() || has("--selftest") || has("--scan-trace") || has("--update-trace") ||
           (seed && std::string(seed) == "1") || std::getenv("APP_SNAPSHOT") != nullptr;
}

std::vector<Url> SingleInstance::urlsFromArguments(const std::vector<std::string>& arguments) {
    return UrlLists::ofArguments(arguments, currentFolder());
}

// The message goes in one piece: each URL as its text on a line of its own.
bool SingleInstance::handOff(const std::vector<Url>& urls, const QString& path) {
    // Plain POSIX: this runs before the QApplication exists, and may run where no display is.
    const QByteArray socketPath = path.toLocal8Bit();
    sockaddr_un address{};
    if (socketPath.isEmpty() || socketPath.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // An instance that hangs must not hang this start too.
    const timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    // Whoever listens there must be this user: the apps go to nobody else, and another user's
    // socket counts as no instance at all.
    if (sent && peerUser(fd) != std::optional<uid_t>(::getuid())) {
        std::fprintf(stderr, "Dovrane: %s belongs to another user; not handing anything to it\n",
                     socketPath.constData());
        sent = false;
    }
    const QByteArray message = UrlLists::instanceMessage(urls);
    for (std::size_t done = 0; sent && done < std::size_t(message.size());) {
        const ssize_t written =
            ::send(fd, message.constData() + done, std::size_t(message.size()) - done, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        sent = written > 0;
        done += sent ? std::size_t(written) : 0;
    }
    ::close(fd);
    return sent;
}

SingleInstance::SingleInstance(Receiver receiver, QObject* parent) : SingleInstance(std::move(receiver), {}, parent) {}

SingleInstance::SingleInstance(Receiver receiver, Limits limits, QObject* parent)
    : QObject(parent), receiver_(std::move(receiver)), limits_(limits) {}

SingleInstance::~SingleInstance() {
    if (listener_ < 0)
        return;
    ::close(listener_);
    ::unlink(path_.c_str());
}

bool SingleInstance::listen(const QString& path) {
    const std::string socketPath = path.toStdString();
    sockaddr_un address{};
    if (listener_ >= 0 || socketPath.empty() || socketPath.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const auto bound = [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0; };
    // Nobody answered there (handOff came first), so a file at the path is a leftover.
    bool listening = bound() || (errno == EADDRINUSE && ::unlink(socketPath.c_str()) == 0 && bound());
    // Only this user may connect; the folder is private as well.
    listening = listening && ::chmod(socketPath.c_str(), 0600) == 0 && ::listen(fd, SOMAXCONN) == 0;
    if (!listening) {
        ::close(fd);
        return false;
    }
    listener_ = fd;
    path_ = socketPath;
    incoming_ = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(incoming_, &QSocketNotifier::activated, this, &SingleInstance::accept);
    rest_ = new QTimer(this);
    rest_->setSingleShot(true);
    connect(rest_, &QTimer::timeout, this, &SingleInstance::resume);
    return true;
}

// Takes the connections waiting while there is room to read them, as many a turn of the event
// loop as may be read at once (a sender that is done is read at once). The listener stays
// readable while one waits, so whatever keeps it from being taken pauses the listener, or it
// would wake this again at once, without end.
void SingleInstance::accept() {
    for (int taken = 0; open_ < limits_.connections; ++taken) {
        if (taken == limits_.connections)
            return; // the next turn takes the others
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return; // none waiting
            // No file descriptor (EMFILE, ENFILE) or no memory: one may come free without a
            // connection of ours ending, so the rest is timed as well.
            if (!std::exchange(starved_, true))
                std::fprintf(stderr, "Dovrane: the instance socket cannot take a connection now (%s); it waits\n",
                             std::strerror(errno));
            pause(true);
            return;
        }
        starved_ = false;
        if (peerUser(connection) != std::optional<uid_t>(::getuid())) {
            std::fprintf(stderr, "Dovrane: refused a connection to the instance socket from another user\n");
            ::close(connection);
            continue;
        }
        read(connection);
    }
    pause(false); // until a connection ends
}

void SingleInstance::pause(bool rest) {
    incoming_->setEnabled(false);
    if (rest)
        rest_->start(limits_.restMs);
}

void SingleInstance::resume() {
    if (open_ >= limits_.connections || incoming_->isEnabled())
        return;
    rest_->stop();
    incoming_->setEnabled(true);
}

// Reads one connection's message until the sender hangs up (or is cut off), then hands it on.
void SingleInstance::read(int connection) {
    ++open_;
    auto* readable = new QSocketNotifier(qintptr(connection), QSocketNotifier::Read, this);
    auto* deadline = new QTimer(readable);
    auto* silence = new QTimer(readable);
    auto message = std::make_shared<QByteArray>();
    auto cut = std::make_shared<bool>(false);
    auto done = std::make_shared<bool>(false);
    auto finish = [this, connection, readable, message, cut, done](bool timedOut) {
        // Once: the deadline and the hang-up may both come before the notifier is gone.
        if (std::exchange(*done, true))
            return;
        readable->setEnabled(false);
        readable->deleteLater();
        ::close(connection);
        --open_;
        resume();
        // A connection that never spoke is no start of ours; a cut-off one may end inside a line.
        if (timedOut && message->isEmpty())
            return;
        const UrlLists::InstanceMessage read = UrlLists::ofInstanceMessage(*message, *cut || timedOut, maxMessageUrls);
        if (*cut || read.cut)
            std::fprintf(stderr, "Dovrane: a message to the instance was too long; took its first %zu apps\n",
                         read.urls.size());
        else if (timedOut)
            std::fprintf(stderr, "Dovrane: a message to the instance did not end in time; took its first %zu apps\n",
                         read.urls.size());
        receiver_(read.urls);
    };
    auto drain = [connection, message, cut, done, silence, finish] {
        char chunk[64 * 1024];
        // A few chunks a turn, so that a sender that never stops cannot hold the event loop.
        for (int turn = 0; turn < 4 && !*done; ++turn) {
            const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
            if (got > 0) {
                silence->stop();
                const qsizetype room = maxMessageBytes - message->size();
                message->append(chunk, std::min<qsizetype>(got, room));
                *cut = *cut || got > room;
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;    // more to come
            finish(false); // the sender is done, or the connection failed
            return;
        }
    };
    connect(readable, &QSocketNotifier::activated, this, drain);
    // A sender that neither finishes nor hangs up: what it sent so far counts.
    for (auto [timer, limit] : {std::pair{deadline, limits_.senderMs}, std::pair{silence, limits_.silentMs}}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [finish] { finish(true); });
        timer->start(limit);
    }
    drain();
}

} // namespace dovrane
