#include "DovraneKit/formats/JsonReading.h"

#include <functional>
#include <optional>
#include <vector>

namespace dovrane::Json {

namespace {

// Builds the document through the library's public event interface, counting the open arrays
// and objects on the way: one pass, linear in the text, stopping at once past the limit.
class DepthLimitedBuilder {
public:
    using json = nlohmann::json;

    explicit DepthLimitedBuilder(json& result, int depthLimit = maximumDepth) : result_(result), limit_(depthLimit) {}

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
        if (open_.size() >= std::size_t(limit_))
            return false;
        open_.push_back(place(std::move(container)));
        return true;
    }

    json& result_;
    int limit_;
    std::vector<json*> open_;
    json* slot_ = nullptr;
};

// Hands the top-level array's elements over one by one, each built by a builder of its own
// that allows one level less, since the array is one.
class EachElement {
public:
    using json = nlohmann::json;

    explicit EachElement(const std::function<bool(json&&)>& take) : take_(take) {}

    bool null() { return inside() && builder_->null() && handOver(); }
    bool boolean(bool value) { return inside() && builder_->boolean(value) && handOver(); }
    bool number_integer(json::number_integer_t value) {
        return inside() && builder_->number_integer(value) && handOver();
    }
    bool number_unsigned(json::number_unsigned_t value) {
        return inside() && builder_->number_unsigned(value) && handOver();
    }
    bool number_float(json::number_float_t value, const json::string_t& text) {
        return inside() && builder_->number_float(value, text) && handOver();
    }
    bool string(json::string_t& value) { return inside() && builder_->string(value) && handOver(); }
    bool binary(json::binary_t& value) { return inside() && builder_->binary(value) && handOver(); }
    bool key(json::string_t& value) { return depth_ > 1 && builder_->key(value); }
    bool start_object(std::size_t size) {
        if (!inside() || !builder_->start_object(size))
            return false;
        ++depth_;
        return true;
    }
    bool end_object() {
        --depth_;
        return builder_->end_object() && handOver();
    }
    bool start_array(std::size_t size) {
        if (depth_ == 0) {
            depth_ = 1;
            return true;
        }
        if (!builder_->start_array(size))
            return false;
        ++depth_;
        return true;
    }
    bool end_array() {
        if (--depth_ == 0)
            return true;
        return builder_->end_array() && handOver();
    }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

private:
    // The outermost value must be the array; everything after it is an element's.
    bool inside() const { return depth_ > 0; }

    // An element is whole once nothing but the array is open.
    bool handOver() {
        if (depth_ != 1)
            return true;
        const bool taken = take_(std::move(element_));
        element_ = json();
        builder_.emplace(element_, maximumDepth - 1);
        return taken;
    }

    const std::function<bool(json&&)>& take_;
    json element_;
    std::optional<DepthLimitedBuilder> builder_{std::in_place, element_, maximumDepth - 1};
    int depth_ = 0;
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

bool readEach(std::string_view text, const std::function<bool(nlohmann::json&&)>& take) {
    EachElement elements(take);
    try {
        return nlohmann::json::sax_parse(text, &elements);
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

} // namespace dovrane::Json
