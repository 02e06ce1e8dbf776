// Property lists, XML and binary: reading never crashes, and what was read writes back as XML
// that reads as a stable value.
#include "DovraneKit/formats/Plist.h"
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
    // XML reading turns a carriage return into a line feed, so only what was read from XML
    // must survive another round unchanged. Compared as text: a NaN equals no value.
    auto again = Plist::parse(xml);
    if (!again)
        return 0;
    std::string written = Plist::toXml(*again);
    auto third = Plist::parse(written);
    fuzz::check(third && Plist::toXml(*third) == written, "a value read from XML writes and reads back the same");
    return 0;
}
