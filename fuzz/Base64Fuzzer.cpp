// Base64 as the journal and the signatures use it, and update signatures over a file: text
// that decodes is exactly the encoding of what it decodes to, so no two texts mean the same.
#include "DovraneKit/core/Url.h"
#include "DovraneKit/updates/UpdateVerdict.h"
#include "FuzzSupport.h"
#include "core/SodiumSupport.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = fuzz::text(data, size);
    if (auto decoded = sodium::fromBase64(bytes))
        fuzz::check(sodium::toBase64(*decoded) == bytes, "Base64 decodes only its own encodings");

    // signature, key and file contents, separated by the first two newlines.
    auto first = bytes.find('\n');
    auto second = first == std::string_view::npos ? first : bytes.find('\n', first + 1);
    if (second == std::string_view::npos)
        return 0;
    static const std::string file = fuzz::writeScratchFile("update.zip", "");
    fuzz::writeScratchFile("update.zip", bytes.substr(second + 1));
    (void)EdDSA::verify(Url::fromPath(file), bytes.substr(0, first), bytes.substr(first + 1, second - first - 1));
    return 0;
}
