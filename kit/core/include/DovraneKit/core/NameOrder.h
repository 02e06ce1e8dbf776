#pragma once
// The Finder's order of names: case-insensitive, numbers by their value ("Version 9" before
// "Version 10"), in the library's current language. One collator serves the app inventory's
// order and every table that sorts names.

#include <memory>
#include <string>
#include <string_view>

namespace dovrane {

class NameOrder {
public:
    // Built for the current language; cheap to copy, so one order can serve a whole sort.
    NameOrder();

    // Negative, zero or positive as a sorts before, with or after b (UTF-8 texts).
    int compare(std::string_view a, std::string_view b) const;
    bool operator()(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }
    // The text's place in this order as bytes: two keys compare byte by byte (unsigned) as
    // compare() compares their texts, so a long list is keyed once and then sorted cheaply.
    std::string key(std::string_view text) const;
    // One fixed order for rows that tie on what they are sorted by (a size): by name in this
    // order, then by the paths' bytes, so equal rows never trade places between two listings.
    int tieBreak(std::string_view nameA, std::string_view pathA, std::string_view nameB, std::string_view pathB) const;
    // A name and its path's place in the tieBreak order as bytes, compared as key()s are. A
    // name's key holds no zero byte, so the zero between the two ends the name.
    std::string tieKey(std::string_view name, std::string_view path) const;

private:
    struct Collator;
    std::shared_ptr<const Collator> collator_;
};

} // namespace dovrane
