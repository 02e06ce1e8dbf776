#pragma once
// App bundles for the removal tests: a folder with a Contents/Info.plist naming the app.

#include <string>

namespace dovrane::testing {

// Writes path/Contents/Info.plist (and a program file, so the bundle has a size) and returns
// path. An empty identifier leaves the key out.
std::string makeAppBundle(const std::string& path, const std::string& bundleID, const std::string& name);

} // namespace dovrane::testing
