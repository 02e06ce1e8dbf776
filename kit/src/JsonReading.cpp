#include "DovraneKit/JsonReading.h"

namespace dovrane::Json {

namespace {
struct TooDeep {};
} // namespace

std::optional<nlohmann::json> read(std::string_view text) {
    using Event = nlohmann::json::parse_event_t;
    // depth counts the arrays and objects around the one starting; reading stops at once.
    auto limitDepth = [](int depth, Event event, nlohmann::json&) {
        if ((event == Event::object_start || event == Event::array_start) && depth >= maximumDepth)
            throw TooDeep{};
        return true;
    };
    try {
        auto json = nlohmann::json::parse(text, limitDepth, false);
        if (json.is_discarded())
            return std::nullopt;
        return json;
    } catch (const TooDeep&) {
        return std::nullopt;
    }
}

} // namespace dovrane::Json
