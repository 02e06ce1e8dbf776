// URLs from feeds and records, and paths made into file URLs.
#include "DovraneKit/core/Url.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzz::text(data, size);
    if (auto url = Url::parse(bytes)) {
        auto again = Url::parse(url->text());
        fuzz::check(again && *again == *url, "a parsed URL reads back from its text");
        (void)url->path();
        (void)url->lastPathComponent();
    }
    std::string path = "/" + std::string(bytes);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back(); // file URLs name folders without their trailing slash
    fuzz::check(Url::fromPath(path).path() == path, "a file URL keeps its path's bytes");
    fuzz::check(percentDecode(percentEncodePath(bytes)) == bytes, "percent-encoding a path is undone exactly");
    return 0;
}
