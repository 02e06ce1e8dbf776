#include "AppModel/CacheWriter.h"

#include "Services/MemoryUse.h"
#include "Store/Store.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace dovrane {

CacheWriter::CacheWriter() {
    thread_.setMaxThreadCount(1);
    thread_.setExpiryTimeout(-1);
}

CacheWriter::~CacheWriter() { thread_.waitForDone(); }

QFuture<bool> CacheWriter::write(std::string path, Encoder encode) {
    return QtConcurrent::run(&thread_, [path = std::move(path), encode = std::move(encode)] {
        bool written = false;
        // A link in a cache's place is the user's: never written through, never replaced.
        if (Fs::isSymlink(path) || (Fs::exists(path) && !Fs::isRegularFile(path)))
            return false;
        {
            auto data = encode();
            written = data && Fs::writeFileAtomically(path, *data, 0600);
        }
        // The text is gone, and so, mostly, is the scan it replaced.
        MemoryUse::giveBackFreed();
        return written;
    });
}

QFuture<std::size_t> CacheWriter::removeStaleTemporaries(std::vector<std::string> paths) {
    return QtConcurrent::run(&thread_, [paths = std::move(paths)] {
        std::size_t removed = 0;
        for (const std::string& path : paths)
            removed += Fs::removeStaleTemporaries(path);
        return removed;
    });
}

Url cacheURL(const Store::Cache& cache) { return Url::fromPath(Store::cachePath(Store::url().path(), cache)); }

std::optional<std::string> readCacheText(const Url& url, std::uint64_t maxBytes) {
    const char* seed = std::getenv("APP_SEED");
    if (seed && std::string_view(seed) == "1")
        return std::nullopt;
    // Beside a test store in /tmp another user may have made the file first.
    if (auto problem = Store::ownFileProblem(url.path())) {
        std::fprintf(stderr, "Not reading the cache at %s: %s\n", url.path().c_str(), problem->c_str());
        return std::nullopt;
    }
    return Fs::readFile(url.path(), maxBytes);
}

std::optional<nlohmann::json> readCache(const Url& url) {
    auto text = readCacheText(url);
    if (!text)
        return std::nullopt;
    return Json::read(*text);
}

} // namespace dovrane
