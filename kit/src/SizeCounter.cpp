#include "DovraneKit/SizeCounter.h"

#include "ParallelWalk.h"

namespace dovrane {

Measurement SizeCounter::measure(const Url& url, std::stop_token stop) {
    return parallelwalk::measure(url.path(), std::move(stop));
}

} // namespace dovrane
