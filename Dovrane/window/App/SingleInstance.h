#pragma once
// One normal instance per user and display owns the model and the database. A later start
// hands the apps it was given to the running instance over a local socket and ends; with no
// apps, the running instance brings its window forward. A test store or a developer mode
// neither listens nor forwards.

#include <DovraneKit/core/Url.h>

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace dovrane {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    using Receiver = std::function<void(const std::vector<Url>& urls)>;

    // What one connection may send; the rest is dropped.
    static constexpr qsizetype maxMessageBytes = 1 << 20;
    static constexpr std::size_t maxMessageUrls = 10000;
    // A sender that neither finishes nor hangs up is cut off after this long.
    static constexpr int senderTimeoutMs = 10000;

    // How the listener keeps a flood of connections from holding the window or taking every
    // file descriptor of the process.
    struct Limits {
        // Connections read at once; the others wait in the system's queue until one ends.
        int connections = 32;
        // A connection that has sent nothing in this long is cut, and hands nothing on.
        int silentMs = 2000;
        // The whole time one sender may take.
        int senderMs = senderTimeoutMs;
        // With no file descriptor left, the listener rests this long, or until a connection ends.
        int restMs = 500;
    };

    // The socket in $XDG_RUNTIME_DIR when that is usable, else in a private folder beside the
    // store; its name carries the display when one is set, or is the short name when the usual
    // one would make the path too long for a socket. Empty (said on standard error) when no safe
    // folder exists or no name fits.
    static QString defaultPath();
    // This user's own folder that nobody else may write to.
    static bool isUsableRuntimeFolder(const std::string& folder);
    // Creates folder (mode 0700) if missing and accepts it only as a real folder of this user
    // that no one else may enter; a link, a foreign folder or a wider mode is refused.
    static bool isPrivateFolder(const std::string& folder);
    // "dovrane-instance", with the display ($WAYLAND_DISPLAY, else $DISPLAY) made file-safe.
    static QString socketName();
    // "dv", or "dv-" and eight hexadecimal digits that stand for the display.
    static QString shortSocketName();
    // A test store or a developer mode (--selftest, the traces, APP_SEED, APP_SNAPSHOT) is in use.
    static bool isExcluded(const std::vector<std::string>& arguments);
    // The URLs of the command line's paths (every argument not starting with "--"): a text
    // with a scheme is taken as a URL, anything else as a path, relative to the current folder.
    static std::vector<Url> urlsFromArguments(const std::vector<std::string>& arguments);

    // Sends the URLs to the instance listening at path, if there is one and it runs as this
    // user; true when it took them.
    static bool handOff(const std::vector<Url>& urls, const QString& path = defaultPath());

    // Each connection's URLs, in the order sent, reach receiver once the sender is done (also
    // when there are none). Only connections of this user count. A sender cut off at the time
    // limit hands on the whole lines it sent, and nothing when it sent none.
    explicit SingleInstance(Receiver receiver, QObject* parent = nullptr);
    SingleInstance(Receiver receiver, Limits limits, QObject* parent = nullptr);
    // Stops listening and removes the socket.
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes over the path (a socket left by an instance that is gone is removed first).
    bool listen(const QString& path = defaultPath());

private:
    void accept();
    void read(int connection);
    // Stops taking connections; with a rest, for limits_.restMs at most.
    void pause(bool rest);
    // Takes connections again when there is room.
    void resume();

    Receiver receiver_;
    Limits limits_;
    // The listening socket, plain POSIX like handOff's, so no network library loads at start.
    int listener_ = -1;
    std::string path_;
    QSocketNotifier* incoming_ = nullptr;
    QTimer* rest_ = nullptr;
    int open_ = 0;         // connections being read
    bool starved_ = false; // the last accept found no file descriptor
};

} // namespace dovrane
