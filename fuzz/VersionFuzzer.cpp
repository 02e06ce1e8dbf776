// Version comparison: reflexive and antisymmetric for any two texts (split at the first NUL).
#include "DovraneKit/apps/AppVersion.h"
#include "FuzzSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzz::text(data, size);
    auto split = bytes.find('\0');
    auto a = bytes.substr(0, split);
    auto b = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);
    fuzz::check(AppVersion::compare(a, a) == ComparisonResult::orderedSame, "a version equals itself");
    fuzz::check(AppVersion::compare(b, b) == ComparisonResult::orderedSame, "a version equals itself");
    fuzz::check(int(AppVersion::compare(a, b)) == -int(AppVersion::compare(b, a)), "comparison is antisymmetric");
    fuzz::check(AppVersion::isNewer(a, b) == (AppVersion::compare(a, b) == ComparisonResult::orderedDescending),
                "isNewer agrees with compare");
    return 0;
}
