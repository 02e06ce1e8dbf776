// Property lists, XML and binary: reading never crashes, and what was read writes back as XML
// that reads as a stable value.
#include "DovraneKit/Plist.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto value = Plist::parse(fuzz::text(data, size));
    if (!value)
        return 0;
    std::string xml = Plist::toXml(*value);
    if (xml.empty())
        return 0; // holds a date beyond what a property list can store
    // Binary lists may hold text XML cannot carry (control characters): such XML is refused.
    auto again = Plist::parse(xml);
    if (!again)
        return 0;
    fuzz::check(Plist::toXml(*again) == xml, "XML written from a read value reads back to the same value");
    return 0;
}
