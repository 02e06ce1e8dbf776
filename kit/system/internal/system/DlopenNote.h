#pragma once
// Libraries the programs open only when first needed (see SharedLibrary) do not show among the
// libraries they link, so packaging tools could not see them. Each is declared in an ELF note of
// the kind those tools read: section ".note.dlopen", owner "FDO", a JSON array that names the
// feature, what it is for, how much it matters and the library's sonames. Not part of the public
// API.

#include <cstddef>
#include <cstdint>

namespace dovrane {

template <std::size_t Size> struct DlopenNote {
    std::uint32_t ownerSize = 4;
    std::uint32_t descriptionSize = Size;
    std::uint32_t type = 0x407c0c0a;
    char owner[4] = {'F', 'D', 'O', '\0'};
    alignas(4) char description[Size];
};

} // namespace dovrane

// One note in the program, kept by the linker wherever the source that declares it is linked.
#define DOVRANE_DLOPEN_NOTE(variable, json)                                                                            \
    [[gnu::used, gnu::section(".note.dlopen")]] alignas(4) constexpr ::dovrane::DlopenNote<sizeof(json)> variable {    \
        .description = json                                                                                            \
    }
