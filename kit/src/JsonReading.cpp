#include "DovraneKit/JsonReading.h"

namespace dovrane::Json {

namespace {

// The library's own document builder with the depth counted on the way: one pass, linear in
// the text. (Its callback parser looks through the parent array at the end of every object,
// which makes long arrays of objects quadratic.)
class DepthLimitedBuilder {
public:
    using json = nlohmann::json;

    explicit DepthLimitedBuilder(json& result) : builder_(result, false) {}

    bool null() { return builder_.null(); }
    bool boolean(bool value) { return builder_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return builder_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return builder_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const json::string_t& text) {
        return builder_.number_float(value, text);
    }
    bool string(json::string_t& value) { return builder_.string(value); }
    bool binary(json::binary_t& value) { return builder_.binary(value); }
    bool key(json::string_t& value) { return builder_.key(value); }
    // open counts the arrays and objects around the one starting; reading stops at once.
    bool start_object(std::size_t elements) { return enter() && builder_.start_object(elements); }
    bool end_object() {
        --open_;
        return builder_.end_object();
    }
    bool start_array(std::size_t elements) { return enter() && builder_.start_array(elements); }
    bool end_array() {
        --open_;
        return builder_.end_array();
    }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& error) {
        return builder_.parse_error(position, token, error);
    }

private:
    bool enter() {
        if (open_ >= maximumDepth)
            return false;
        ++open_;
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<json> builder_;
    int open_ = 0;
};

} // namespace

std::optional<nlohmann::json> read(std::string_view text) {
    nlohmann::json result;
    DepthLimitedBuilder builder(result);
    try {
        if (!nlohmann::json::sax_parse(text, &builder) || result.is_discarded())
            return std::nullopt;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    return result;
}

} // namespace dovrane::Json
