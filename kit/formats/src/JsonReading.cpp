#include "DovraneKit/formats/JsonReading.h"

#include <vector>

namespace dovrane::Json {

namespace {

// Builds the document through the library's public event interface, counting the open arrays
// and objects on the way: one pass, linear in the text, stopping at once past the limit.
class DepthLimitedBuilder {
public:
    using json = nlohmann::json;

    explicit DepthLimitedBuilder(json& result) : result_(result) {}

    bool null() { return place(nullptr) != nullptr; }
    bool boolean(bool value) { return place(value) != nullptr; }
    bool number_integer(json::number_integer_t value) { return place(value) != nullptr; }
    bool number_unsigned(json::number_unsigned_t value) { return place(value) != nullptr; }
    bool number_float(json::number_float_t value, const json::string_t&) { return place(value) != nullptr; }
    bool string(json::string_t& value) { return place(std::move(value)) != nullptr; }
    bool binary(json::binary_t& value) { return place(json::binary(std::move(value))) != nullptr; }
    // A repeated key replaces the earlier value, as in the library's own parser.
    bool key(json::string_t& value) {
        slot_ = &(*open_.back())[value];
        return true;
    }
    bool start_object(std::size_t) { return enter(json::object()); }
    bool end_object() {
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t) { return enter(json::array()); }
    bool end_array() {
        open_.pop_back();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

private:
    json* place(json value) {
        if (open_.empty()) {
            result_ = std::move(value);
            return &result_;
        }
        json& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        *slot_ = std::move(value);
        return slot_;
    }

    // A container's address stays put while it is open: only its own elements are added.
    bool enter(json container) {
        if (open_.size() >= std::size_t(maximumDepth))
            return false;
        open_.push_back(place(std::move(container)));
        return true;
    }

    json& result_;
    std::vector<json*> open_;
    json* slot_ = nullptr;
};

} // namespace

std::optional<nlohmann::json> read(std::string_view text) {
    nlohmann::json result;
    DepthLimitedBuilder builder(result);
    try {
        if (!nlohmann::json::sax_parse(text, &builder))
            return std::nullopt;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    return result;
}

} // namespace dovrane::Json
