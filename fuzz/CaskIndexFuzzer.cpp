// The cask index and the store's lookup answers, as the network delivers them.
#include "DovraneKit/updates/CaskIndex.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzz::text(data, size);
    (void)CaskIndex::parse(bytes);
    (void)StoreLookup::parse(bytes);
    return 0;
}
