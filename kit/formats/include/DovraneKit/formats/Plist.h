#pragma once
// Property lists (XML and binary) behind our own small value type. Files over a few MiB are
// refused, and so are documents nested deeper than any real Info.plist, binary ones whose
// shared objects would unfold into too many values, and text holding U+0000. Reading takes
// time linear in the size of the document.

#include "DovraneKit/core/Date.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dovrane {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDict = std::map<std::string, PlistValue>;
struct PlistData {
    std::string bytes;
    bool operator==(const PlistData&) const = default;
};

class PlistValue {
public:
    using Storage = std::variant<std::string, std::int64_t, double, bool, Date, PlistData, PlistArray, PlistDict>;

    PlistValue() : storage_(std::string()) {}
    PlistValue(std::string text) : storage_(std::move(text)) {}
    PlistValue(const char* text) : storage_(std::string(text)) {}
    PlistValue(std::int64_t number) : storage_(number) {}
    PlistValue(int number) : storage_(std::int64_t(number)) {}
    PlistValue(double number) : storage_(number) {}
    PlistValue(bool flag) : storage_(flag) {}
    PlistValue(Date date) : storage_(date) {}
    PlistValue(PlistData data) : storage_(std::move(data)) {}
    PlistValue(PlistArray array) : storage_(std::move(array)) {}
    PlistValue(PlistDict dict) : storage_(std::move(dict)) {}

    // Each accessor gives the value only when it is of that kind.
    const std::string* string() const { return std::get_if<std::string>(&storage_); }
    const PlistDict* dict() const { return std::get_if<PlistDict>(&storage_); }
    const PlistArray* array() const { return std::get_if<PlistArray>(&storage_); }
    std::optional<Date> date() const;
    std::optional<bool> boolean() const;
    std::optional<std::int64_t> integer() const;

    const Storage& storage() const { return storage_; }
    bool operator==(const PlistValue&) const = default;

private:
    Storage storage_;
};

namespace Plist {
constexpr std::uint64_t maximumFileSize = 8ull << 20;
constexpr int maximumDepth = 256;
constexpr std::uint64_t maximumNodes = 1ull << 20;

std::optional<PlistValue> parse(std::string_view bytes);
std::optional<PlistValue> readFile(const std::string& path);
// The dictionary at the top of a file, or nothing.
std::optional<PlistDict> readDictionary(const std::string& path);
// Empty when the value holds a date a property list cannot store (beyond 32-bit seconds).
std::string toXml(const PlistValue& value);
// Text under key when it is text.
std::optional<std::string> string(const PlistDict& dict, const std::string& key);
} // namespace Plist

} // namespace dovrane
