#include "DovraneKit/system/SizeCounter.h"

#include "system/ParallelWalk.h"

namespace dovrane {

Measurement SizeCounter::measure(const Url& url, std::stop_token stop) {
    return parallelwalk::measure(url.path(), std::move(stop));
}

std::vector<Measurement> SizeCounter::measureEach(const std::vector<Url>& urls, std::stop_token stop) {
    std::vector<std::string> paths;
    paths.reserve(urls.size());
    for (const Url& url : urls)
        paths.push_back(url.path());
    return parallelwalk::measureEach(paths, std::move(stop));
}

} // namespace dovrane
