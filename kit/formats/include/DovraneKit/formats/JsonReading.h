#pragma once
// The one way JSON text is read: the library's records, caches, answers and tool outputs, and
// the records others store for it. The JSON library copies and destroys values by recursion,
// so a document nested deeper than any record we write is refused when it is read, before a
// copy can exhaust the stack.

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string_view>

namespace dovrane::Json {

constexpr int maximumDepth = 64;

// The document, or nothing when the text is not JSON or nests arrays and objects deeper than
// maximumDepth.
std::optional<nlohmann::json> read(std::string_view text);

// A long array read one element at a time: each element goes to take as soon as it is read, so
// only one of them is ever held as a document. False when the text is no JSON array, nests
// deeper than maximumDepth, or take answers false; the elements taken before stay taken.
bool readEach(std::string_view text, const std::function<bool(nlohmann::json&&)>& take);

} // namespace dovrane::Json
