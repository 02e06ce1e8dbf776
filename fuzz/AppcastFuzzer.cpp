// Update feeds and the release notes they carry.
#include "DovraneKit/updates/Appcast.h"
#include "DovraneKit/updates/ReleaseNotes.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzz::text(data, size);
    auto items = AppcastParser::items(bytes);
    (void)AppcastParser::best(items, OperatingSystemVersion{14, 2, 1});
    for (const auto& item : items) {
        (void)item.displayVersion();
        (void)item.compareVersion();
    }
    auto notes = ReleaseNotes::plain(std::string(bytes));
    fuzz::check(!notes || !notes->empty(), "release notes are absent rather than empty");
    return 0;
}
