#include "system/ForkedChild.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <initializer_list>

#if defined(__SANITIZE_ADDRESS__)
#define DOVRANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DOVRANE_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef DOVRANE_ADDRESS_SANITIZER
// The AddressSanitizer runtime's own locks of its allocator and of its store of allocation stacks,
// which its later versions hold across a fork themselves. Weak: a runtime without them keeps the
// plain fork.
namespace __lsan {
[[gnu::weak]] void LockAllocator();
[[gnu::weak]] void UnlockAllocator();
} // namespace __lsan
namespace __sanitizer {
[[gnu::weak]] void StackDepotLockAll();
[[gnu::weak]] void StackDepotUnlockAll();
} // namespace __sanitizer
#endif

namespace dovrane::forkedchild {

pid_t fork() {
#ifdef DOVRANE_ADDRESS_SANITIZER
    const bool hold = &__lsan::LockAllocator && &__lsan::UnlockAllocator && &__sanitizer::StackDepotLockAll &&
                      &__sanitizer::StackDepotUnlockAll;
    if (hold) {
        __lsan::LockAllocator();
        __sanitizer::StackDepotLockAll();
    }
    const pid_t child = ::fork();
    if (hold) {
        __sanitizer::StackDepotUnlockAll();
        __lsan::UnlockAllocator();
    }
    return child;
#else
    return ::fork();
#endif
}

bool settle(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        return false;
    if (const int quiet = ::open("/dev/null", O_RDWR | O_CLOEXEC); quiet >= 0) {
        for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(quiet, stream);
        if (quiet > STDERR_FILENO)
            ::close(quiet);
    }
    return true;
}

} // namespace dovrane::forkedchild
