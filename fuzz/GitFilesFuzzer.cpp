// A repository's own files as anyone may have written them: the first byte chooses the reader
// (even: the index, odd: the configuration) and whether names compare without case, the rest is
// the file. An index that reads answers every path asked.
#include "FuzzSupport.h"
#include "system/GitFiles.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const auto input = fuzz::text(data + 1, size - 1);
    if (data[0] % 2 == 1) {
        (void)gitfiles::plainConfig(input);
        return 0;
    }
    static const std::vector<std::string> paths = {"app/build", "app", "a", "node_modules", "Mixed/Case"};
    const gitfiles::Config config{(data[0] & 2) != 0};
    if (const auto found = gitfiles::tracked(input, paths, config))
        fuzz::check(found->size() == paths.size(), "every path asked is answered");
    return 0;
}
