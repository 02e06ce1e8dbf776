#pragma once
// Strict reading of the library's JSON records: a missing required key, a value of the wrong
// type or an unknown enumeration case makes the whole document unreadable. Internally a
// failure unwinds as DecodeError; decode() turns it into a Failure value at the API boundary.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/formats/JsonReading.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::jsoncoding {

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <class F> auto decode(F&& body) -> Expected<decltype(body())> {
    try {
        return body();
    } catch (const DecodeError& error) {
        return Failure{error.what()};
    } catch (const nlohmann::json::exception& error) {
        return Failure{error.what()};
    }
}

inline nlohmann::json parseText(std::string_view text) {
    auto json = Json::read(text);
    if (!json)
        throw DecodeError("not a JSON document, or nested too deeply");
    return std::move(*json);
}

class ObjectReader {
public:
    ObjectReader(const nlohmann::json& json, std::string_view type) : json_(json), type_(type) {
        if (!json_.is_object())
            throw DecodeError(type_ + ": expected an object");
    }

    bool has(const char* key) const {
        auto it = json_.find(key);
        return it != json_.end() && !it->is_null();
    }

    const nlohmann::json& value(const char* key) const {
        auto it = json_.find(key);
        if (it == json_.end() || it->is_null())
            throw DecodeError(type_ + ": missing key \"" + key + "\"");
        return *it;
    }

    std::string string(const char* key) const {
        const auto& v = value(key);
        if (!v.is_string())
            mismatch(key, "a string");
        return v.get<std::string>();
    }
    std::optional<std::string> optionalString(const char* key) const {
        return has(key) ? std::optional(string(key)) : std::nullopt;
    }

    std::int64_t integer(const char* key) const {
        const auto& v = value(key);
        if (v.is_number_integer()) {
            if (v.is_number_unsigned() && v.get<std::uint64_t>() > std::uint64_t(INT64_MAX))
                mismatch(key, "a 64-bit integer");
            return v.get<std::int64_t>();
        }
        if (v.is_number_float()) {
            double d = v.get<double>();
            if (std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18)
                return std::int64_t(d);
        }
        mismatch(key, "an integer");
    }
    // A count of bytes or files: never negative, and at most 2^62 so that sums of a few stay
    // far from overflowing.
    std::int64_t size(const char* key) const {
        std::int64_t value = integer(key);
        if (value < 0 || value > (std::int64_t(1) << 62))
            mismatch(key, "a size from 0 to 2^62");
        return value;
    }

    std::optional<std::int64_t> optionalInteger(const char* key) const {
        return has(key) ? std::optional(integer(key)) : std::nullopt;
    }

    bool boolean(const char* key) const {
        const auto& v = value(key);
        if (!v.is_boolean())
            mismatch(key, "a Boolean");
        return v.get<bool>();
    }

    Date date(const char* key) const {
        const auto& v = value(key);
        if (!v.is_number())
            mismatch(key, "a date in seconds since 2001");
        return Date{v.get<double>()};
    }
    std::optional<Date> optionalDate(const char* key) const {
        return has(key) ? std::optional(date(key)) : std::nullopt;
    }

    Url url(const char* key) const {
        auto parsed = Url::parse(string(key));
        if (!parsed)
            throw DecodeError(type_ + ": \"" + key + "\" is not a valid URL");
        return *parsed;
    }
    std::optional<Url> optionalUrl(const char* key) const { return has(key) ? std::optional(url(key)) : std::nullopt; }

    const nlohmann::json& array(const char* key) const {
        const auto& v = value(key);
        if (!v.is_array())
            mismatch(key, "an array");
        return v;
    }

    std::vector<std::string> strings(const char* key) const {
        std::vector<std::string> result;
        for (const auto& element : array(key)) {
            if (!element.is_string())
                mismatch(key, "an array of strings");
            result.push_back(element.get<std::string>());
        }
        return result;
    }

    template <class E> E enumeration(const char* key, std::optional<E> (*fromRaw)(std::string_view)) const {
        auto text = string(key);
        auto value = fromRaw(text);
        if (!value)
            throw DecodeError(type_ + ": \"" + key + "\" names no case: " + text);
        return *value;
    }

private:
    [[noreturn]] void mismatch(const char* key, const char* expected) const {
        throw DecodeError(type_ + ": \"" + key + "\" is not " + expected);
    }

    const nlohmann::json& json_;
    std::string type_;
};

template <class T> void putOptional(nlohmann::json& object, const char* key, const std::optional<T>& value) {
    if (value)
        object[key] = *value;
}
inline void putOptional(nlohmann::json& object, const char* key, const std::optional<Date>& value) {
    if (value)
        object[key] = value->secondsSinceReference;
}
inline void putOptional(nlohmann::json& object, const char* key, const std::optional<Url>& value) {
    if (value)
        object[key] = value->text();
}

} // namespace dovrane::jsoncoding
