#pragma once
// The one writer of the cache files: a single thread that takes the writes in the order they
// were asked for, so an older state never lands after a newer one. Each file is replaced in one
// atomic step and readable by the user alone.

#include <QFuture>
#include <QThreadPool>

#include <functional>
#include <optional>
#include <string>

namespace dovrane {

class CacheWriter {
public:
    using Encoder = std::function<std::optional<std::string>()>;

    CacheWriter();
    // Waits for the writes already asked for.
    ~CacheWriter();

    // Encodes on the writer's thread and writes the file; true once written. A failed
    // encoding or write leaves the old file as it was.
    QFuture<bool> write(std::string path, Encoder encode);

private:
    QThreadPool thread_;
};

} // namespace dovrane
