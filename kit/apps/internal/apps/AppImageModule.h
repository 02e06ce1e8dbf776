#pragma once
// The entry point of the AppImage module, dovrane-appimage.so, which reads payloads with
// libappimage. That library's interface is C++ and cannot be loaded on demand, so the module
// wraps it and the programs load the module only when an AppImage is read. Nothing of C++
// crosses this boundary. Not part of the public API.

#include <cstddef>

extern "C" {

// The most bytes to read of the payload entry named (a path inside the payload), 0 to leave
// it out.
using DovraneAppImageLimit = std::size_t (*)(void* context, const char* entry);
// One chosen entry: its bytes, or null when it is over its limit or a link to no regular file.
using DovraneAppImageFound = void (*)(void* context, const char* entry, const char* contents, std::size_t size);

// Reads the payload of the type-2 AppImage at path, looking at no more than maximumEntries
// entries. A link is followed once, to the entry its target names (relative to the link's
// folder, or absolute within the payload). Only once the whole payload is read is each chosen
// entry given to found, once; returns 1 then, and 0 (nothing given) when the payload cannot be
// read. The module's one exported symbol.
__attribute__((visibility("default"))) int dovrane_appimage_read(const char* path, int maximumEntries,
                                                                 DovraneAppImageLimit limit, DovraneAppImageFound found,
                                                                 void* context);
}

namespace dovrane::AppImageModule {

inline constexpr const char* fileName = "dovrane-appimage.so";
inline constexpr const char* entryPoint = "dovrane_appimage_read";

} // namespace dovrane::AppImageModule
