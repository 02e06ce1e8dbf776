#include "App/SingleInstance.h"

#include "Store/Store.h"

#include <DovraneKit/FileSystem.h>

#include <QDir>
#include <QLocalSocket>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dovrane {

namespace {

std::string currentFolder() {
    std::error_code error;
    return std::filesystem::current_path(error).native();
}

} // namespace

QString SingleInstance::defaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return QDir(QString::fromLocal8Bit(runtime)).filePath(QStringLiteral("dovrane-instance"));
    return QDir::temp().filePath(QStringLiteral("dovrane-instance-%1").arg(::getuid()));
}

bool SingleInstance::isExcluded(const std::vector<std::string>& arguments) {
    const bool selfTest = std::find(arguments.begin(), arguments.end(), "--selftest") != arguments.end();
    const char* seed = std::getenv("APP_SEED");
    return Store::isOverridden() || selfTest || (seed && std::string(seed) == "1") ||
           std::getenv("APP_SNAPSHOT") != nullptr;
}

std::vector<Url> SingleInstance::urlsFromArguments(const std::vector<std::string>& arguments) {
    std::vector<Url> urls;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.empty() || argument.starts_with("--"))
            continue;
        if (argument.find("://") != std::string::npos) {
            if (auto url = Url::parse(argument))
                urls.push_back(*url);
            continue;
        }
        urls.push_back(Url::fromPath(argument.front() == '/' ? argument : Path::join(currentFolder(), argument)));
    }
    return urls;
}

// Each URL goes as its text on a line of its own; URL texts never hold a line break.
bool SingleInstance::handOff(const std::vector<Url>& urls, const QString& path) {
    // Plain POSIX: this runs before the QApplication exists, and may run where no display is.
    const QByteArray socketPath = path.toLocal8Bit();
    sockaddr_un address{};
    if (socketPath.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    std::string message;
    for (const Url& url : urls)
        message += url.text() + '\n';
    for (std::size_t done = 0; sent && done < message.size();) {
        const ssize_t written = ::send(fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        sent = written > 0;
        done += sent ? std::size_t(written) : 0;
    }
    ::close(fd);
    return sent;
}

SingleInstance::SingleInstance(Receiver receiver, QObject* parent) : QObject(parent), receiver_(std::move(receiver)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

bool SingleInstance::listen(const QString& path) {
    if (server_.listen(path))
        return true;
    // Nobody answered there (handOff came first), so the socket file is a leftover.
    QLocalServer::removeServer(path);
    return server_.listen(path);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto finish = [this, socket] {
            std::vector<Url> urls;
            for (const QByteArray& line : socket->readAll().split('\n'))
                if (!line.isEmpty())
                    if (auto url = Url::parse(line.toStdString()))
                        urls.push_back(*url);
            socket->deleteLater();
            if (!urls.empty())
                receiver_(urls);
        };
        if (socket->state() == QLocalSocket::UnconnectedState)
            finish();
        else
            connect(socket, &QLocalSocket::disconnected, this, finish);
    }
}

} // namespace dovrane
