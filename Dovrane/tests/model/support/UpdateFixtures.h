#pragma once
// What update tests build: a vendor's update key that signs downloads, app bundles with their
// Info.plist, and a clock whose waits end only when the test lets them.

#include "Services/Clock.h"

#include <DovraneKit/formats/Plist.h>

#include <QFuture>
#include <QPromise>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::testing {

// An Ed25519 key pair as a vendor holds it; apps name the public half as "SUPublicEDKey".
class UpdateKey {
public:
    UpdateKey();
    std::string publicBase64() const;
    // The base64 signature of the bytes, as an appcast's "sparkle:edSignature" carries it.
    std::string sign(std::string_view bytes) const;

private:
    std::string publicKey_;
    std::string secretKey_;
};

// A bundle with an executable and an Info.plist naming the identifier, the version (as both
// version keys) and the extra entries.
void makeBundle(const std::string& path, const std::string& identifier, const std::string& version,
                const PlistDict& extra = {});

// An appcast offering one download.
std::string appcast(const std::string& downloadURL, const std::string& version, const std::string& signature);

// A clock set by hand whose waits end only when released, so a loop of waits runs one step at
// a time.
class HeldClock final : public Clock {
public:
    explicit HeldClock(Date start) : now_(start) {}

    Date now() const override { return now_; }
    QFuture<void> delay(double seconds) override;

    void set(Date date) { now_ = date; }
    void advance(double seconds) { now_ = now_.adding(seconds); }

    // Finishes once a wait is asked for that is not yet released (at once when one is).
    QFuture<void> waitAsked();
    // Ends the oldest wait.
    void releaseOne();

    std::vector<double> asked; // every wait, in order

private:
    Date now_;
    std::vector<std::shared_ptr<QPromise<void>>> held_;
    std::shared_ptr<QPromise<void>> watcher_;
};

} // namespace dovrane::testing
