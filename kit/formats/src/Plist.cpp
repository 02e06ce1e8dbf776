#include "DovraneKit/formats/Plist.h"

#include "DovraneKit/system/FileSystem.h"
#include "core/SodiumSupport.h"

#include <expat.h>
#include <plist/plist.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view space = " \t\r\n";
    auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Decimal or "0x" hexadecimal with an optional sign. As binary lists store them, values above
// the largest signed integer keep their bits.
std::optional<std::int64_t> integerFrom(std::string_view text) {
    text = trimmed(text);
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (!negative)
        return static_cast<std::int64_t>(magnitude);
    if (magnitude > std::uint64_t(1) << 63)
        return std::nullopt;
    return static_cast<std::int64_t>(0 - magnitude);
}

// from_chars ignores the locale, which the application takes from the environment.
std::optional<double> realFrom(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "2024-05-01T09:30:00Z", in UTC.
std::optional<Date> dateFrom(std::string_view text) {
    text = trimmed(text);
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t width) -> std::optional<int> {
        int value = 0;
        auto [end, error] = std::from_chars(text.data() + at, text.data() + at + width, value);
        if (error != std::errc() || end != text.data() + at + width || text[at] == '-' || text[at] == '+')
            return std::nullopt;
        return value;
    };
    auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 || *day < 1 || *day > 31 ||
        *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    // Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
    int y = *year - (*month <= 2 ? 1 : 0);
    int era = (y >= 0 ? y : y - 399) / 400;
    int yearOfEra = y - era * 400;
    int dayOfYear = (153 * (*month + (*month > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
    int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    double days = double(era) * 146097 + dayOfEra - 719468;
    return Date::fromUnix(days * 86400 + *hour * 3600 + *minute * 60 + *second);
}

// Base64 with line breaks and indentation, as property lists lay out their data.
std::optional<std::string> dataFrom(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            compact.push_back(c);
    return sodium::fromBase64(compact);
}

// libplist reads XML by itself: it decodes entities in time quadratic in their number, builds
// the tree without a depth limit and frees it by recursion. The value of an XML document is
// therefore built here from expat's reading, in one pass with a bounded depth. Refused too are
// the constructs that libplist read otherwise than an XML parser (processing instructions,
// CDATA, an internal DTD subset, markup in comments) and entities nobody declared.
class XmlReader {
public:
    std::optional<PlistValue> read(std::string_view text) {
        std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                                        XML_ParserFree);
        if (!parser || text.size() > std::size_t(std::numeric_limits<int>::max()))
            return std::nullopt;
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(
            parser_,
            [](void* data, const XML_Char* name, const XML_Char**) { static_cast<XmlReader*>(data)->start(name); },
            [](void* data, const XML_Char*) { static_cast<XmlReader*>(data)->end(); });
        XML_SetCharacterDataHandler(parser_, [](void* data, const XML_Char* s, int length) {
            static_cast<XmlReader*>(data)->characters(std::string_view(s, std::size_t(length)));
        });
        XML_SetProcessingInstructionHandler(parser_,
                                            [](void* data, const XML_Char*, const XML_Char*) { refuse(data); });
        XML_SetStartCdataSectionHandler(parser_, [](void* data) { refuse(data); });
        XML_SetSkippedEntityHandler(parser_, [](void* data, const XML_Char*, int) { refuse(data); });
        XML_SetCommentHandler(parser_, [](void* data, const XML_Char* comment) {
            if (std::string_view(comment).find_first_of("<>") != std::string_view::npos)
                refuse(data);
        });
        XML_SetStartDoctypeDeclHandler(
            parser_, [](void* data, const XML_Char*, const XML_Char* systemID, const XML_Char* publicID, int internal) {
                auto markup = [](const XML_Char* id) {
                    return id && std::string_view(id).find_first_of("<>") != std::string_view::npos;
                };
                if (internal || markup(systemID) || markup(publicID))
                    refuse(data);
            });
        auto status = XML_Parse(parser_, text.data(), int(text.size()), XML_TRUE);
        if (status != XML_STATUS_OK || refused_ || !stack_.empty())
            return std::nullopt;
        return std::move(result_);
    }

private:
    enum class Kind { plist, dict, array, key, string, integer, real, date, data, yes, no };

    struct Frame {
        Kind kind;
        PlistArray array;
        PlistDict dict;
        std::optional<std::string> key; // in a dictionary: the key waiting for its value
        std::string text;               // in a leaf: its characters
    };

    static void refuse(void* data) {
        auto* reader = static_cast<XmlReader*>(data);
        reader->refused_ = true;
        XML_StopParser(reader->parser_, XML_FALSE);
    }

    static std::optional<Kind> kindNamed(std::string_view name) {
        static constexpr std::pair<std::string_view, Kind> kinds[] = {
            {"plist", Kind::plist},   {"dict", Kind::dict},       {"array", Kind::array}, {"key", Kind::key},
            {"string", Kind::string}, {"integer", Kind::integer}, {"real", Kind::real},   {"date", Kind::date},
            {"data", Kind::data},     {"true", Kind::yes},        {"false", Kind::no}};
        for (const auto& [known, kind] : kinds)
            if (known == name)
                return kind;
        return std::nullopt;
    }

    static bool isContainer(Kind kind) { return kind == Kind::plist || kind == Kind::dict || kind == Kind::array; }

    static std::optional<PlistValue> leafValue(Kind kind, std::string_view text) {
        auto wrap = [](auto parsed) { return parsed ? std::optional<PlistValue>(*parsed) : std::nullopt; };
        switch (kind) {
        case Kind::string:
            return PlistValue(std::string(text));
        case Kind::integer:
            return wrap(integerFrom(text));
        case Kind::real:
            return wrap(realFrom(text));
        case Kind::date:
            return wrap(dateFrom(text));
        case Kind::data: {
            auto bytes = dataFrom(text);
            return bytes ? std::optional<PlistValue>(PlistData{std::move(*bytes)}) : std::nullopt;
        }
        case Kind::yes:
        case Kind::no:
            if (!trimmed(text).empty())
                return std::nullopt;
            return PlistValue(kind == Kind::yes);
        default:
            return std::nullopt;
        }
    }

    void start(const XML_Char* name) {
        // expat may still report an event or two after a refusal.
        if (refused_)
            return;
        auto kind = kindNamed(name);
        bool inLeaf = !stack_.empty() && !isContainer(stack_.back().kind);
        bool keyOutOfPlace =
            kind == Kind::key && (stack_.empty() || stack_.back().kind != Kind::dict || stack_.back().key);
        // The root <plist>, the containers, and the leaf element inside the deepest one.
        if (!kind || inLeaf || keyOutOfPlace || (kind == Kind::plist && !stack_.empty()) ||
            stack_.size() >= std::size_t(Plist::maximumDepth) + 2)
            return refuse(this);
        stack_.push_back(Frame{*kind, {}, {}, std::nullopt, {}});
    }

    void characters(std::string_view text) {
        if (refused_ || stack_.empty())
            return;
        if (!isContainer(stack_.back().kind))
            stack_.back().text.append(text);
        else if (!trimmed(text).empty())
            refuse(this);
    }

    void end() {
        if (refused_)
            return;
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        switch (frame.kind) {
        case Kind::plist:
            if (!result_)
                refuse(this);
            return;
        case Kind::key:
            stack_.back().key = std::move(frame.text);
            return;
        case Kind::dict:
            if (frame.key)
                return refuse(this);
            return place(PlistValue(std::move(frame.dict)));
        case Kind::array:
            return place(PlistValue(std::move(frame.array)));
        default:
            if (auto value = leafValue(frame.kind, frame.text))
                return place(std::move(*value));
            return refuse(this);
        }
    }

    void place(PlistValue value) {
        if (stack_.empty() || stack_.back().kind == Kind::plist) {
            if (result_)
                return refuse(this);
            result_ = std::move(value);
            return;
        }
        Frame& parent = stack_.back();
        if (parent.kind == Kind::array) {
            parent.array.push_back(std::move(value));
        } else if (!parent.key) {
            refuse(this);
        } else {
            parent.dict.insert_or_assign(std::move(*parent.key), std::move(value));
            parent.key.reset();
        }
    }

    XML_Parser parser_ = nullptr;
    std::vector<Frame> stack_;
    std::optional<PlistValue> result_;
    bool refused_ = false;
};

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

    auto offsetOf = [&](std::uint64_t object) {
        return readBigEndian(bytes, std::size_t(table + object * offsetSize), offsetSize);
    };

    // Where an array, set or dictionary keeps its references, and how many it has. A string
    // (or key) is checked on the way: libplist aborts the process on one that holds U+0000.
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
        bool text = kind == 0x5 || kind == 0x6;
        if (!text && kind != 0xA && kind != 0xC && kind != 0xD)
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
        if (text) {
            std::size_t unit = kind == 0x6 ? 2 : 1; // ASCII or UTF-16
            if (n > (trailer - start) / unit)
                return std::nullopt;
            for (std::size_t i = start; i < start + std::size_t(n) * unit; i += unit)
                if (bytes[i] == 0 && bytes[i + unit - 1] == 0)
                    return std::nullopt;
            return Refs{};
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
        // Taken with its length: plist_get_string_val aborts on an embedded U+0000.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (!text)
            return PlistValue(std::string());
        if (std::memchr(text, 0, std::size_t(length)))
            return std::nullopt;
        return PlistValue(std::string(text, std::size_t(length)));
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
                // A property list keeps a date in 32-bit seconds; a date beyond cannot be written.
                double whole = std::floor(v.secondsSinceReference);
                if (!(whole >= double(std::numeric_limits<int32_t>::min()) &&
                      whole <= double(std::numeric_limits<int32_t>::max())))
                    return nullptr;
                return plist_new_date(int32_t(whole), int32_t((v.secondsSinceReference - whole) * 1e6));
            } else if constexpr (std::is_same_v<T, PlistData>) {
                return plist_new_data(v.bytes.data(), v.bytes.size());
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                PlistHandle array(plist_new_array());
                for (const auto& element : v) {
                    plist_t item = build(element);
                    if (!item)
                        return nullptr;
                    plist_array_append_item(array.get(), item);
                }
                return array.release();
            } else {
                PlistHandle dict(plist_new_dict());
                for (const auto& [key, element] : v) {
                    plist_t item = build(element);
                    if (!item)
                        return nullptr;
                    plist_dict_set_item(dict.get(), key.c_str(), item);
                }
                return dict.release();
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
    if (!binary)
        return XmlReader().read(bytes);
    if (!binaryGraphWithinLimits(bytes))
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
    if (!root)
        return {};
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
