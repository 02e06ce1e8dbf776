#pragma once
// A child process that runs on without exec, for work that must be ended from outside: a
// library that trusts a file it reads, or one that opens by path and waits on what it finds.
// Forked from a process with threads, the child holds only the thread that forked it and
// inherits every lock as it was; it calls only what was loaded before the fork. Not part of the
// public API.

#include <sys/types.h>

namespace dovrane::forkedchild {

// fork(). Under AddressSanitizer (clang 14, GCC 12) a child forked while another thread held
// the sanitizer allocator's lock waits for it for ever: those locks are held across the fork,
// so the child starts with them free.
pid_t fork();

// In the child, first: it ends with the thread that forked it, and keeps none of the standard
// streams (whoever reads the parent's output sees its end when the parent ends; libraries that
// complain on standard error are not heard). False when the parent is gone already: the child
// then leaves at once.
bool settle(pid_t parent);

} // namespace dovrane::forkedchild
