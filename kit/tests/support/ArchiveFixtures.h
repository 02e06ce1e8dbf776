#pragma once
// Hand-made tar archives for tests of unpacking, disk images and updates.

#include <string>
#include <vector>

namespace dovrane::testing {

// One entry: 'd' folder, 'f' file, 'x' executable file, 'l' symbolic link.
struct TarItem {
    std::string name;
    char type;
    std::string content; // file data or link target
};

void writeTar(const std::string& path, const std::vector<TarItem>& items, bool gzip = false);
// A folder on disk as tar items, the folder itself as the top entry named `top`.
std::vector<TarItem> tarItemsOf(const std::string& folder, const std::string& top);

} // namespace dovrane::testing
