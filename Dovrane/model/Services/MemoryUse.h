#pragma once
// Memory that a step over a hundred thousand items frees stays with the allocator: glibc keeps
// what each thread frees in that thread's own arena, for the thread's next request, and the
// pool's threads seldom ask for as much again. After such a step the freed pages go back to the
// system, so the next step does not stand on top of the last one.

namespace dovrane::MemoryUse {

// Hands the pages of freed memory back to the system, on a thread of its own; calls made while
// one hand-back waits make no second one. Any thread.
void giveBackFreed();

} // namespace dovrane::MemoryUse
