#pragma once
// Who runs a removal under way. A process that journals a removal holds a lock on one byte of a
// file beside the store from then until it ends. The kernel lets go of the lock at any death, in
// whatever PID namespace the process ran, and a zombie holds none; so a record under way whose
// byte nobody holds is one of a process that is gone, whoever looks and from wherever. The
// process id in a mark is for messages only.

#include <string>

namespace dovrane::RemovalOwner {

// The lock file beside the store at storePath; it stays empty.
std::string lockPath(const std::string& storePath);
// This process's mark for a record under way in the store at storePath. The lock is taken at the
// first call for that store (again when its file was replaced since) and held until the process
// ends; on a file system that keeps no locks, the process's id and start time instead. Empty when
// it cannot be: the lock file is no regular file of this user's, or cannot be made.
std::string mark(const std::string& storePath);
// Whether the process that wrote `mark` may still run: its byte is locked, or the lock file cannot
// be looked at. A mark of an older Dovrane (its process id and start time) is judged by what
// /proc says of that process.
bool mayRun(const std::string& storePath, const std::string& mark);

} // namespace dovrane::RemovalOwner
