#pragma once
// Doubles of the model's services: a clock set by hand whose waits end at once, a workspace
// with a chosen list of running apps, a notifier and a clipboard that remember what they got.

#include "Services/Clipboard.h"
#include "Services/Clock.h"
#include "Services/Notifier.h"
#include "Services/Workspace.h"

#include <QStringList>

#include <vector>

namespace dovrane::testing {

class FakeClock final : public Clock {
public:
    explicit FakeClock(Date start = Date::fromUnix(1714550400)) : now_(start) {} // 2024-05-01 08:00 UTC

    Date now() const override { return now_; }
    QFuture<void> delay(double seconds) override {
        delays.push_back(seconds);
        return QtFuture::makeReadyFuture();
    }

    void set(Date date) { now_ = date; }
    void advance(double seconds) { now_ = now_.adding(seconds); }

    std::vector<double> delays; // every wait asked for, in order

private:
    Date now_;
};

class FakeWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> running;
    std::vector<RunningApplication> terminated;
    std::vector<Url> opened;
    std::vector<Url> openedApplications;
    std::map<std::string, Url> installed; // bundle identifier to bundle

    std::vector<RunningApplication> runningApplications() const override { return running; }
    bool ignoresQuit = false; // terminate() is noted but the apps keep running

    bool terminate(const RunningApplication& application) override {
        terminated.push_back(application);
        if (!ignoresQuit)
            std::erase(running, application);
        return true;
    }
    bool isTerminated(const RunningApplication& application) const override {
        return std::find(running.begin(), running.end(), application) == running.end();
    }
    bool open(const Url& url) override {
        opened.push_back(url);
        return true;
    }
    bool openApplication(const Url& bundle) override {
        openedApplications.push_back(bundle);
        return true;
    }
    std::optional<Url> applicationURL(const std::string& bundleID) const override {
        auto found = installed.find(bundleID);
        return found == installed.end() ? std::nullopt : std::optional<Url>(found->second);
    }
};

class FakeNotifier final : public Notifier {
public:
    struct Posted {
        QString identifier, title, body;
    };
    bool available = true;
    std::vector<Posted> posted;

    QFuture<bool> isAvailable() override { return QtFuture::makeReadyFuture(available); }
    QFuture<bool> post(const QString& identifier, const QString& title, const QString& body) override {
        if (available)
            posted.push_back({identifier, title, body});
        return QtFuture::makeReadyFuture(available);
    }
    // What the desktop does when the user clicks the notification.
    void click(const QString& identifier) const { activated(identifier); }
};

class FakeClipboard final : public Clipboard {
public:
    QStringList copied; // every text, in order
    void setText(const QString& text) override { copied.append(text); }
};

} // namespace dovrane::testing
