#pragma once
// The environment a test program starts from, set before Qt or any fixture starts, so that
// nothing a test runs reaches the real desktop or home and no test depends on what another test
// or an earlier run left behind.

#include <string>

namespace dovrane::testing {

// Makes this program's own fresh folder and points HOME, the XDG folders, XDG_RUNTIME_DIR and
// TMPDIR into it: an empty home (`home`), a private runtime folder (`runtime`) and a temporary
// folder (`tmp`), all there from the first test. The folder is made under $TMPDIR when that lies
// in /tmp (test stores must), else under /tmp, named after `binary`, and removed with
// everything in it when the program ends. A test program started by another one (a child
// process of a test) works in its parent's folder and leaves its removal to the parent.
void makeTestFolders(const char* binary);

// The folder makeTestFolders made or took over; empty before.
const std::string& testFolder();

// Everything an application test program fixes besides its folders: offscreen, English, the
// time zone given, no session bus and none of the developer switches.
void fixTestEnvironment(const char* binary, const char* timeZone);

} // namespace dovrane::testing
