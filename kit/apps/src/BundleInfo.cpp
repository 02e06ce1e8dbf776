#include "DovraneKit/apps/BundleInfo.h"

#include "DovraneKit/system/FileSystem.h"

namespace dovrane {

std::optional<PlistDict> BundleInfo::read(const Url& bundle) {
    if (!bundle.isFile())
        return std::nullopt;
    return Plist::readDictionary(Path::join(bundle.path(), "Contents/Info.plist"));
}

} // namespace dovrane
