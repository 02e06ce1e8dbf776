#pragma once
// Regular expressions (PCRE2), compiled once and shared by all threads; every match gets match
// data of its own. Not part of the public API.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

class Pattern {
public:
    enum Options : unsigned {
        bytewise = 0, // every byte is one character; \d and \w are ASCII; any text may be searched
        unicode = 1,  // UTF-8 with Unicode properties; the text must be valid UTF-8 (utf8::isValid)
        whole = 2,    // a match must span the whole text
    };

    // A pattern that does not compile matches nothing.
    explicit Pattern(const char* pattern, unsigned options = bytewise);
    ~Pattern();
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    struct Match {
        std::size_t start = 0, end = 0;
        int group = 0;                            // the first capturing group that took part, 0 when none
        std::size_t groupStart = 0, groupEnd = 0; // that group's range

        std::string_view groupIn(std::string_view text) const { return text.substr(groupStart, groupEnd - groupStart); }
    };

    // The first match at or after `from`; absent when there is none or matching fails. A
    // unicode pattern trusts the caller's check of the text, so repeated searches through one
    // text do not check it again each time.
    std::optional<Match> find(std::string_view text, std::size_t from = 0) const;

    // Every match replaced ($1 and so on name groups); absent should matching fail.
    std::optional<std::string> substitute(std::string_view text, std::string_view replacement) const;

private:
    struct Code;
    Code* code_ = nullptr;
};

} // namespace dovrane
