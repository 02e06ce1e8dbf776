#pragma once
// The engine under SizeCounter::measure: a physical walk whose folders are shared out to a
// process-wide pool of workers, each folder read relative to its open parent. Every call has
// its own folders, sums and hard-link set; calls at once take turns on the pool and each waits
// for its own folders only. A thread walks on into the deepest subfolder it finds and hands the
// others to the pool only while a worker is idle, so small trees cost no hand-off.

#include "DovraneKit/system/SizeCounter.h"

#include <stop_token>
#include <string>
#include <vector>

namespace dovrane::parallelwalk {

// Workers of the pool; the thread that calls `measure` walks its own folders beside them.
constexpr int workerCount = 16;

// Measures the file or folder at `path` (never following a link, not even at the root, and never
// leaving its file system or entering a mount; a root that is itself a mount point measures as
// nothing). A stop request is noticed at the end of
// a folder's listing batch once the call has seen 4096 entries, and returns the sums so far.
Measurement measure(const std::string& path, std::stop_token stop);
// Measures each path as `measure` would, all at once on the pool, results in the paths' order.
// A stop request is noticed once the whole call has seen 4096 entries; paths not yet begun then
// measure as their root alone.
std::vector<Measurement> measureEach(const std::vector<std::string>& paths, std::stop_token stop);

// Folders the engine holds open across all calls may exceed this only by the two each walking
// thread needs for the folder it reads and the one it opens next.
int descriptorBudget();
// Tests only: a budget of their choosing (0 holds no folder open for later), -1 the usual one.
void setDescriptorBudget(int budget);

// Tests only: called for every listed entry before it is examined, with the folder it was
// listed in. Not thread-safe to change while a walk runs; nullptr switches it off.
using EntryHook = void (*)(int folder, const char* name);
void setEntryHook(EntryHook hook);

} // namespace dovrane::parallelwalk
