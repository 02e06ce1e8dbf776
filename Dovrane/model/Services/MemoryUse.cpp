#include "Services/MemoryUse.h"

#include <QThreadPool>

#include <atomic>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace dovrane::MemoryUse {

void giveBackFreed() {
#ifdef __GLIBC__
    static std::atomic<bool> waiting = false;
    // The look at every arena takes some milliseconds: never on the main thread, and one at a
    // time.
    static QThreadPool& thread = []() -> QThreadPool& {
        static QThreadPool one;
        one.setMaxThreadCount(1);
        return one;
    }();
    if (waiting.exchange(true))
        return;
    thread.start([] {
        waiting = false;
        malloc_trim(0);
    });
#endif
}

} // namespace dovrane::MemoryUse
