#pragma once
// The environment an application test binary starts from, set before Qt or any fixture starts:
// offscreen, English, a fixed time zone, no session bus and none of the developer switches, a
// home, data and configuration folder under /tmp that do not exist (fixtures make their own),
// and a private runtime folder, so nothing a suite runs reaches the real desktop or home.

namespace dovrane::testing {

// `binary` names the folders (/tmp/dovrane-BINARY-nohome, /tmp/dovrane-BINARY-runtime), so
// binaries running side by side keep apart.
void fixTestEnvironment(const char* binary, const char* timeZone);

} // namespace dovrane::testing
