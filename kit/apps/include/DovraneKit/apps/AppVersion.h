#pragma once
// Which of two free-text app versions is newer: "1.2.3", "4.0b2", "2024.1 (8812)", "1.0,123".
// Numbers compare by value, letter runs are pre-release markers, and a version without a
// marker is newer than the same version with one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

enum class ComparisonResult { orderedAscending = -1, orderedSame = 0, orderedDescending = 1 };

namespace AppVersion {

// One run of a version string: a number, or a run of letters kept in lower case.
struct Part {
    enum class Kind { number, text };

    Kind kind = Kind::number;
    std::int64_t number = 0; // meaningful for Kind::number only
    std::string text;        // meaningful for Kind::text only (UTF-8, lower case)

    static Part makeNumber(std::int64_t value) { return Part{Kind::number, value, {}}; }
    static Part makeText(std::string value) { return Part{Kind::text, 0, std::move(value)}; }
    bool isNumber() const { return kind == Kind::number; }
    bool isText() const { return kind == Kind::text; }

    // Same kind and equal payload; texts are equal when canonically equivalent.
    bool operator==(const Part& other) const;
};

// The runs of the first piece of the string before any space or comma, in order.
std::vector<Part> parts(std::string_view version);

// orderedDescending when a is newer than b, orderedAscending when older.
ComparisonResult compare(std::string_view a, std::string_view b);

bool isNewer(std::string_view a, std::string_view than);

} // namespace AppVersion

} // namespace dovrane
