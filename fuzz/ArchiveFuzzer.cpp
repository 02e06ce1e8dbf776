// Archives of downloaded updates, unpacked into a jail: whatever an archive holds, nothing
// appears outside the destination, and a failed extraction leaves no destination.
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/Archives.h"
#include "FuzzSupport.h"

#include <algorithm>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string jail = Path::join(fuzz::scratch(), "jail");
    Fs::removeAll(jail);
    Fs::makeDirectories(jail, 0700);
    std::string archive = fuzz::writeScratchFile("jail/update.archive", fuzz::text(data, size));
    std::string destination = Path::join(jail, "out");
    auto result = Archives::extract(archive, destination, ExtractLimits{64ull << 20, 10'000});
    auto left = Fs::list(jail);
    std::sort(left.begin(), left.end());
    if (result)
        fuzz::check(left == std::vector<std::string>{"out", "update.archive"}, "extraction stays in its folder");
    else
        fuzz::check(left == std::vector<std::string>{"update.archive"}, "a failed extraction leaves nothing");
    // Nothing escaped the jail either (a link followed upwards would write beside it).
    auto besides = Fs::list(fuzz::scratch());
    for (const std::string& name : besides)
        fuzz::check(name == "jail" || name == "home", "nothing appears beside the jail");
    Fs::removeAll(jail);
    return 0;
}
