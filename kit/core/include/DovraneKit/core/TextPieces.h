#pragma once
// Splitting text the way the library's readers all do.

#include <string_view>
#include <vector>

namespace dovrane {

// The pieces between separators, empty pieces dropped ("/a//b/" gives "a", "b").
inline std::vector<std::string_view> splitDroppingEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

} // namespace dovrane
