#include "support/Bundles.h"

#include "support/TestSupport.h"

#include <DovraneKit/formats/Plist.h>
#include <DovraneKit/system/FileSystem.h>

namespace dovrane::testing {

std::string makeAppBundle(const std::string& path, const std::string& bundleID, const std::string& name) {
    PlistDict info{{"CFBundleName", name}, {"CFBundleShortVersionString", "1.0"}};
    if (!bundleID.empty())
        info["CFBundleIdentifier"] = bundleID;
    writeFile(Path::join(path, "Contents/Info.plist"), Plist::toXml(PlistValue(info)));
    writeFile(Path::join(path, "Contents/MacOS/" + name), "program");
    return path;
}

} // namespace dovrane::testing
