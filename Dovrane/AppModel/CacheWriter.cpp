#include "AppModel/CacheWriter.h"

#include <DovraneKit/FileSystem.h>

#include <QtConcurrent/QtConcurrentRun>

namespace dovrane {

CacheWriter::CacheWriter() {
    thread_.setMaxThreadCount(1);
    thread_.setExpiryTimeout(-1);
}

CacheWriter::~CacheWriter() { thread_.waitForDone(); }

QFuture<bool> CacheWriter::write(std::string path, Encoder encode) {
    return QtConcurrent::run(&thread_, [path = std::move(path), encode = std::move(encode)] {
        auto data = encode();
        return data && Fs::writeFileAtomically(path, *data, 0600);
    });
}

} // namespace dovrane
