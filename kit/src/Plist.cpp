#include "DovraneKit/Plist.h"

#include "DovraneKit/FileSystem.h"

#include <expat.h>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <type_traits>

namespace dovrane {

std::optional<Date> PlistValue::date() const {
    if (auto* value = std::get_if<Date>(&storage_))
        return *value;
    return std::nullopt;
}

std::optional<bool> PlistValue::boolean() const {
    if (auto* value = std::get_if<bool>(&storage_))
        return *value;
    return std::nullopt;
}

std::optional<std::int64_t> PlistValue::integer() const {
    if (auto* value = std::get_if<std::int64_t>(&storage_))
        return *value;
    return std::nullopt;
}

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
    void operator()(char* text) const { std::free(text); }
};
using MallocText = std::unique_ptr<char, MallocDeleter>;

// libplist builds the tree of an XML document without a depth limit and frees it by recursion
// (also when it stops at an error halfway), so a deeply nested document overflows the stack.
// Let expat read the text first: it must be well-formed XML nested no deeper than a property
// list of the maximum depth, and hold none of the constructs that libplist may read otherwise
// than an XML parser (processing instructions, CDATA, an internal DTD subset, markup in
// comments), so that libplist cannot nest deeper than expat counted.
bool xmlWithinLimits(std::string_view text) {
    struct Check {
        XML_Parser parser;
        int depth = 0;
        bool refused = false;
        static void refuse(void* data) {
            auto* check = static_cast<Check*>(data);
            check->refused = true;
            XML_StopParser(check->parser, XML_FALSE);
        }
    };
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                                    XML_ParserFree);
    if (!parser || text.size() > std::size_t(std::numeric_limits<int>::max()))
        return false;
    Check check{parser.get()};
    XML_SetUserData(parser.get(), &check);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char*, const XML_Char**) {
            // The root <plist>, the containers, and the leaf element inside the deepest one.
            if (++static_cast<Check*>(data)->depth > Plist::maximumDepth + 2)
                Check::refuse(data);
        },
        [](void* data, const XML_Char*) { --static_cast<Check*>(data)->depth; });
    XML_SetProcessingInstructionHandler(parser.get(),
                                        [](void* data, const XML_Char*, const XML_Char*) { Check::refuse(data); });
    XML_SetStartCdataSectionHandler(parser.get(), [](void* data) { Check::refuse(data); });
    XML_SetCommentHandler(parser.get(), [](void* data, const XML_Char* comment) {
        if (std::string_view(comment).find_first_of("<>") != std::string_view::npos)
            Check::refuse(data);
    });
    XML_SetStartDoctypeDeclHandler(
        parser.get(), [](void* data, const XML_Char*, const XML_Char* systemID, const XML_Char* publicID, int internal) {
            auto markup = [](const XML_Char* id) {
                return id && std::string_view(id).find_first_of("<>") != std::string_view::npos;
            };
            if (internal || markup(systemID) || markup(publicID))
                Check::refuse(data);
        });
    auto status = XML_Parse(parser.get(), text.data(), int(text.size()), XML_TRUE);
    return status == XML_STATUS_OK && !check.refused;
}

std::uint64_t readBigEndian(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

// libplist reads binary property lists recursively, following references without a depth
// limit, and builds a fresh node for every reference, so an object shared a million times
// becomes a million nodes. Walk the object graph first, without recursing; refuse a graph
// that is too deep, expands to too many nodes, has a cycle or points outside the file.
bool binaryGraphWithinLimits(std::string_view bytes) {
    constexpr std::size_t headerSize = 8, trailerSize = 32;
    if (bytes.size() < headerSize + trailerSize)
        return false;
    std::size_t trailer = bytes.size() - trailerSize;
    std::size_t offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    std::size_t refSize = static_cast<unsigned char>(bytes[trailer + 7]);
    std::uint64_t count = readBigEndian(bytes, trailer + 8, 8);
    std::uint64_t top = readBigEndian(bytes, trailer + 16, 8);
    std::uint64_t table = readBigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 || top >= count ||
        table > trailer || count > (trailer - table) / offsetSize)
        return false;

    auto offsetOf = [&](std::uint64_t object) { return readBigEndian(bytes, std::size_t(table + object * offsetSize), offsetSize); };

    // Where an array, set or dictionary keeps its references, and how many it has.
    struct Refs {
        std::size_t start = 0;
        std::uint64_t count = 0;
    };
    auto refsOf = [&](std::uint64_t object) -> std::optional<Refs> {
        std::uint64_t offset = offsetOf(object);
        if (offset < headerSize || offset >= trailer)
            return std::nullopt;
        unsigned char marker = static_cast<unsigned char>(bytes[offset]);
        unsigned kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return Refs{};
        std::uint64_t n = marker & 0x0F;
        std::size_t start = std::size_t(offset) + 1;
        if (n == 0x0F) {
            if (start >= trailer)
                return std::nullopt;
            unsigned char intMarker = static_cast<unsigned char>(bytes[start]);
            std::size_t width = std::size_t(1) << (intMarker & 0x0F);
            if ((intMarker >> 4) != 0x1 || width > 8 || start + 1 + width > trailer)
                return std::nullopt;
            n = readBigEndian(bytes, start + 1, width);
            start += 1 + width;
        }
        std::uint64_t room = (trailer - start) / refSize;
        if (n > room || (kind == 0xD && n > room / 2))
            return std::nullopt;
        return Refs{start, kind == 0xD ? 2 * n : n};
    };

    enum : unsigned char { unvisited, inProgress, done };
    std::vector<unsigned char> state(std::size_t(count), unvisited);
    std::vector<std::uint16_t> height(std::size_t(count), 0);
    std::vector<std::uint64_t> nodes(std::size_t(count), 1); // size of the tree libplist builds
    auto addChild = [&](std::uint64_t parent, std::uint64_t child) {
        height[parent] = std::max<std::uint16_t>(height[parent], std::uint16_t(height[child] + 1));
        nodes[parent] = std::min<std::uint64_t>(nodes[parent] + nodes[child], Plist::maximumNodes + 1);
    };
    struct Frame {
        std::uint64_t object;
        Refs refs;
        std::uint64_t next;
    };
    std::vector<Frame> stack;
    auto push = [&](std::uint64_t object) {
        auto refs = refsOf(object);
        if (!refs)
            return false;
        state[object] = inProgress;
        stack.push_back({object, *refs, 0});
        return true;
    };
    if (!push(top))
        return false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.refs.count) {
            std::uint64_t object = frame.object;
            state[object] = done;
            stack.pop_back();
            if (!stack.empty())
                addChild(stack.back().object, object);
            continue;
        }
        std::uint64_t child = readBigEndian(bytes, frame.refs.start + std::size_t(frame.next) * refSize, refSize);
        ++frame.next;
        if (child >= count || state[child] == inProgress)
            return false;
        if (state[child] == done)
            addChild(frame.object, child);
        else if (stack.size() > std::size_t(Plist::maximumDepth) || !push(child)) // child at depth stack.size()
            return false;
    }
    return height[top] <= Plist::maximumDepth && nodes[top] <= Plist::maximumNodes;
}

std::optional<PlistValue> convert(plist_t node, int depth) {
    if (!node || depth > Plist::maximumDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PlistValue(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return PlistValue(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PlistValue(value);
    }
    case PLIST_STRING: {
        char* raw = nullptr;
        plist_get_string_val(node, &raw);
        MallocText text(raw);
        return PlistValue(std::string(text ? text.get() : ""));
    }
    case PLIST_DATE: {
        int32_t seconds = 0, micro = 0;
        plist_get_date_val(node, &seconds, &micro);
        return PlistValue(Date{double(seconds) + double(micro) / 1e6});
    }
    case PLIST_DATA: {
        char* raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        MallocText data(raw);
        return PlistValue(PlistData{std::string(data ? data.get() : "", data ? length : 0)});
    }
    case PLIST_ARRAY: {
        PlistArray array;
        uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            auto element = convert(plist_array_get_item(node, i), depth + 1);
            if (!element)
                return std::nullopt;
            array.push_back(std::move(*element));
        }
        return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
        PlistDict dict;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (!iterator)
            return PlistValue(std::move(dict));
        for (;;) {
            char* rawKey = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &value);
            MallocText key(rawKey);
            if (!key)
                break;
            auto element = convert(value, depth + 1);
            if (!element) {
                std::free(iterator);
                return std::nullopt;
            }
            dict.insert_or_assign(std::string(key.get()), std::move(*element));
        }
        std::free(iterator);
        return PlistValue(std::move(dict));
    }
    default:
        return std::nullopt;
    }
}

plist_t build(const PlistValue& value) {
    return std::visit(
        [](const auto& v) -> plist_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(v.c_str());
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return plist_new_uint(static_cast<uint64_t>(v));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, Date>) {
                double whole = std::floor(v.secondsSinceReference);
                return plist_new_date(int32_t(whole), int32_t((v.secondsSinceReference - whole) * 1e6));
            } else if constexpr (std::is_same_v<T, PlistData>) {
                return plist_new_data(v.bytes.data(), v.bytes.size());
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                plist_t array = plist_new_array();
                for (const auto& element : v)
                    plist_array_append_item(array, build(element));
                return array;
            } else {
                plist_t dict = plist_new_dict();
                for (const auto& [key, element] : v)
                    plist_dict_set_item(dict, key.c_str(), build(element));
                return dict;
            }
        },
        value.storage());
}

} // namespace

namespace Plist {

std::optional<PlistValue> parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > maximumFileSize)
        return std::nullopt;
    bool binary = plist_is_binary(bytes.data(), uint32_t(bytes.size())) != 0;
    if (binary ? !binaryGraphWithinLimits(bytes) : !xmlWithinLimits(bytes))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
    PlistHandle handle(root);
    return convert(root, 0);
}

std::optional<PlistValue> readFile(const std::string& path) {
    auto bytes = Fs::readFile(path, maximumFileSize);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

std::optional<PlistDict> readDictionary(const std::string& path) {
    auto value = readFile(path);
    if (!value || !value->dict())
        return std::nullopt;
    return *value->dict();
}

std::string toXml(const PlistValue& value) {
    PlistHandle root(build(value));
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &raw, &length);
    std::string xml(raw ? raw : "", raw ? length : 0);
    if (raw)
        plist_to_xml_free(raw);
    return xml;
}

std::optional<std::string> string(const PlistDict& dict, const std::string& key) {
    auto it = dict.find(key);
    if (it == dict.end() || !it->second.string())
        return std::nullopt;
    return *it->second.string();
}

} // namespace Plist

} // namespace dovrane
