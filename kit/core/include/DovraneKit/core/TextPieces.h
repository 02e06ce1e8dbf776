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

// A line of a configuration file without the blanks around it, nor the carriage return of a line
// ended the Windows way.
inline std::string_view trimmedLine(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace dovrane
