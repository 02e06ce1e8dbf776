#pragma once
// One normal instance per user owns the model and the database. A later start hands the apps
// it was given to the running instance over a local socket in $XDG_RUNTIME_DIR and ends. A
// test store or a developer mode neither listens nor forwards.

#include <DovraneKit/Url.h>

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace dovrane {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    using Receiver = std::function<void(const std::vector<Url>& urls)>;

    // $XDG_RUNTIME_DIR/dovrane-instance, else a per-user name in the temporary folder.
    static QString defaultPath();
    // A test store or a developer switch (--selftest, APP_SEED, APP_SNAPSHOT) is in use.
    static bool isExcluded(const std::vector<std::string>& arguments);
    // The URLs of the command line's paths (every argument not starting with "--"): a text
    // with a scheme is taken as a URL, anything else as a path, relative to the current folder.
    static std::vector<Url> urlsFromArguments(const std::vector<std::string>& arguments);

    // Sends the URLs to the instance listening at path, if there is one; true when it took them.
    static bool handOff(const std::vector<Url>& urls, const QString& path = defaultPath());

    // Each connection's URLs, in the order sent, reach receiver once the sender is done.
    explicit SingleInstance(Receiver receiver, QObject* parent = nullptr);
    // Takes over the path (a socket left by an instance that is gone is removed first).
    bool listen(const QString& path = defaultPath());

private:
    void accept();

    Receiver receiver_;
    QLocalServer server_;
};

} // namespace dovrane
