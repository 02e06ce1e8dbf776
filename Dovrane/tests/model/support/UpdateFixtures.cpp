#include "support/UpdateFixtures.h"

#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include "core/SodiumSupport.h"

#include <sodium.h>
#include <sys/stat.h>

#include <cstdlib>

namespace dovrane::testing {

UpdateKey::UpdateKey() : publicKey_(crypto_sign_PUBLICKEYBYTES, '\0'), secretKey_(crypto_sign_SECRETKEYBYTES, '\0') {
    if (sodium_init() < 0)
        std::abort();
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(publicKey_.data()),
                        reinterpret_cast<unsigned char*>(secretKey_.data()));
}

std::string UpdateKey::publicBase64() const { return sodium::toBase64(publicKey_); }

std::string UpdateKey::sign(std::string_view bytes) const {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                         reinterpret_cast<const unsigned char*>(secretKey_.data()));
    return sodium::toBase64({reinterpret_cast<const char*>(signature), sizeof signature});
}

void makeBundle(const std::string& path, const std::string& identifier, const std::string& version,
                const PlistDict& extra) {
    PlistDict info{{"CFBundleIdentifier", identifier},
                   {"CFBundleShortVersionString", version},
                   {"CFBundleVersion", version},
                   {"CFBundleExecutable", "example"}};
    for (const auto& [key, value] : extra)
        info.insert_or_assign(key, value);
    writeFile(Path::join(path, "Contents/Info.plist"), Plist::toXml(PlistValue(info)));
    writeFile(Path::join(path, "Contents/MacOS/example"), "#!/bin/sh\nexit 0\n");
    chmod(Path::join(path, "Contents/MacOS/example").c_str(), 0755);
}

std::string appcast(const std::string& downloadURL, const std::string& version, const std::string& signature) {
    return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">)"
           R"(<channel><item><enclosure url=")" +
           downloadURL + R"(" sparkle:version=")" + version + R"(" sparkle:shortVersionString=")" + version +
           R"(" sparkle:edSignature=")" + signature + R"("/></item></channel></rss>)";
}

QFuture<void> HeldClock::delay(double seconds) {
    asked.push_back(seconds);
    auto wait = std::make_shared<QPromise<void>>();
    wait->start();
    held_.push_back(wait);
    if (watcher_) {
        watcher_->finish();
        watcher_.reset();
    }
    return wait->future();
}

QFuture<void> HeldClock::waitAsked() {
    if (!held_.empty())
        return QtFuture::makeReadyFuture();
    watcher_ = std::make_shared<QPromise<void>>();
    watcher_->start();
    return watcher_->future();
}

void HeldClock::releaseOne() {
    if (held_.empty())
        return;
    auto wait = held_.front();
    held_.erase(held_.begin());
    wait->finish();
}

} // namespace dovrane::testing
