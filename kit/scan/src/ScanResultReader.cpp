// The scan's JSON text read in one pass straight into its records, with no document between:
// a large cache reads in a fraction of the time and memory. It accepts exactly what Json::read
// followed by ScanResult::fromJson accepts: the same JSON grammar (including the library's
// leading byte-order mark, its zero byte ending the text, its number types and its refusal of
// numbers that overflow a double),
// the same nesting limit, a repeated key replacing the earlier value, null standing for an
// absent key, and the same checks of every field.
#include "DovraneKit/formats/JsonReading.h"
#include "DovraneKit/scan/ScanModel.h"
#include "core/Ascii.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace dovrane {

namespace {

struct SyntaxError {};

// The latest value of one key: a repeated key replaces the earlier value, null means absent.
enum class Field { absent, valid, invalid };

struct Number {
    enum Kind { integer, nonNegative, fraction } kind = integer;
    std::int64_t integerValue = 0;
    std::uint64_t nonNegativeValue = 0;
    double fractionValue = 0;

    double asDouble() const {
        switch (kind) {
        case integer:
            return double(integerValue);
        case nonNegative:
            return double(nonNegativeValue);
        default:
            return fractionValue;
        }
    }
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// strtod as the JSON library uses it, whatever the process's locale says a decimal point is.
// from_chars rounds the same and is quicker, but leaves numbers that underflow or overflow to
// strtod, which the library lets give zero or infinity.
double parseDouble(const char* begin, const char* end) {
    double value = 0;
    if (std::from_chars(begin, end, value).ec == std::errc())
        return value;
    static const locale_t plain = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string token(begin, end);
    return strtod_l(token.c_str(), nullptr, plain);
}

class Reader {
public:
    explicit Reader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    // A byte-order mark is skipped at the very start; its first byte alone is an error.
    void start() {
        if (p_ < end_ && static_cast<unsigned char>(*p_) == 0xEF) {
            if (end_ - p_ < 3 || static_cast<unsigned char>(p_[1]) != 0xBB || static_cast<unsigned char>(p_[2]) != 0xBF)
                throw SyntaxError();
            p_ += 3;
        }
    }

    // Only white space may follow the document; the library takes a zero byte for the end, as
    // in a C string, and ignores whatever follows it.
    void finish() {
        const int next = peek();
        if (next != -1 && next != 0)
            throw SyntaxError();
    }

    // The next byte after white space, or -1 at the end.
    int peek() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
        return p_ < end_ ? static_cast<unsigned char>(*p_) : -1;
    }

    void literal(std::string_view word) {
        if (std::size_t(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            throw SyntaxError();
        p_ += word.size();
    }

    // At the opening quote.
    void quoted(std::string& out) {
        out.clear();
        ++p_;
        for (;;) {
            const char* run = p_;
            skipPlain();
            out.append(run, p_);
            if (p_ == end_)
                throw SyntaxError();
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return;
            }
            if (c == '\\')
                escape(out);
            else if (c < 0x20)
                throw SyntaxError();
            else
                multibyte(out);
        }
    }

    Number number() {
        const char* begin = p_;
        const bool negative = p_ < end_ && *p_ == '-';
        if (negative)
            ++p_;
        if (p_ == end_)
            throw SyntaxError();
        if (*p_ == '0')
            ++p_;
        else if (*p_ >= '1' && *p_ <= '9')
            digits();
        else
            throw SyntaxError();
        bool whole = true;
        if (p_ < end_ && *p_ == '.') {
            ++p_;
            requireDigits();
            whole = false;
        }
        if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ < end_ && (*p_ == '+' || *p_ == '-'))
                ++p_;
            requireDigits();
            whole = false;
        }
        Number number;
        if (whole) {
            // As the library does: a whole number an integer type cannot hold becomes a double.
            std::uint64_t magnitude = 0;
            bool fits = true;
            for (const char* d = begin + (negative ? 1 : 0); d < p_; ++d) {
                const auto digit = std::uint64_t(*d - '0');
                if (magnitude > (UINT64_MAX - digit) / 10) {
                    fits = false;
                    break;
                }
                magnitude = magnitude * 10 + digit;
            }
            if (fits && !negative) {
                number.kind = Number::nonNegative;
                number.nonNegativeValue = magnitude;
                return number;
            }
            if (fits && magnitude <= std::uint64_t(INT64_MAX) + 1) {
                number.kind = Number::integer;
                number.integerValue = magnitude == std::uint64_t(INT64_MAX) + 1 ? INT64_MIN : -std::int64_t(magnitude);
                return number;
            }
        }
        number.kind = Number::fraction;
        number.fractionValue = parseDouble(begin, p_);
        if (!std::isfinite(number.fractionValue))
            throw SyntaxError();
        return number;
    }

    // Reads and checks any value without keeping it.
    void skip() {
        switch (peek()) {
        case '{':
            object([this](std::string_view) { skip(); });
            break;
        case '[':
            array([this] { skip(); });
            break;
        case '"':
            quoted(scratch_);
            break;
        case 't':
            literal("true");
            break;
        case 'f':
            literal("false");
            break;
        case 'n':
            literal("null");
            break;
        default:
            number();
        }
    }

    // At '{': calls onKey with every key, which must read its value.
    template <class OnKey> void object(OnKey&& onKey) {
        enter();
        if (peek() == '}') {
            ++p_;
            --depth_;
            return;
        }
        std::string key;
        do {
            if (peek() != '"')
                throw SyntaxError();
            quoted(key);
            if (peek() != ':')
                throw SyntaxError();
            ++p_;
            onKey(key);
        } while (!closes('}'));
        --depth_;
    }

    // At '[': calls onElement for every element, which must read it.
    template <class OnElement> void array(OnElement&& onElement) {
        enter();
        if (peek() == ']') {
            ++p_;
            --depth_;
            return;
        }
        do
            onElement();
        while (!closes(']'));
        --depth_;
    }

    // Typed values: the value's state, after reading it whatever its type.

    // A value of none of the expected types: null stands for an absent key, anything else is
    // read past and refused.
    Field absentOrInvalid() {
        if (peek() == 'n') {
            literal("null");
            return Field::absent;
        }
        skip();
        return Field::invalid;
    }

    Field text(std::string& out) {
        switch (peek()) {
        case '"':
            quoted(out);
            return Field::valid;
        default:
            return absentOrInvalid();
        }
    }

    Field numeric(Number& out) {
        const int c = peek();
        if (c == '-' || isDigit(char(c))) {
            out = number();
            return Field::valid;
        }
        return absentOrInvalid();
    }

    // A count of bytes or files from 0 to 2^62, written as an integer or a whole double.
    Field size(std::int64_t& out) {
        Number value;
        const Field state = numeric(value);
        if (state != Field::valid)
            return state;
        std::int64_t whole = 0;
        switch (value.kind) {
        case Number::nonNegative:
            if (value.nonNegativeValue > std::uint64_t(INT64_MAX))
                return Field::invalid;
            whole = std::int64_t(value.nonNegativeValue);
            break;
        case Number::integer:
            whole = value.integerValue;
            break;
        case Number::fraction: {
            const double d = value.fractionValue;
            if (!(std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18))
                return Field::invalid;
            whole = std::int64_t(d);
        }
        }
        if (whole < 0 || whole > (std::int64_t(1) << 62))
            return Field::invalid;
        out = whole;
        return Field::valid;
    }

    Field date(Date& out) {
        Number value;
        const Field state = numeric(value);
        if (state == Field::valid)
            out = Date{value.asDouble()};
        return state;
    }

    Field boolean(bool& out) {
        switch (peek()) {
        case 't':
            literal("true");
            out = true;
            return Field::valid;
        case 'f':
            literal("false");
            out = false;
            return Field::valid;
        default:
            return absentOrInvalid();
        }
    }

    Field url(Url& out) {
        const Field state = text(scratch_);
        if (state != Field::valid)
            return state;
        auto parsed = Url::parse(scratch_);
        if (!parsed)
            return Field::invalid;
        out = std::move(*parsed);
        return Field::valid;
    }

    template <class E> Field enumeration(E& out, std::optional<E> (*fromRaw)(std::string_view)) {
        const Field state = text(scratch_);
        if (state != Field::valid)
            return state;
        auto value = fromRaw(scratch_);
        if (!value)
            return Field::invalid;
        out = *value;
        return Field::valid;
    }

    // An array of records, each read by `element` (false when it does not decode): after the
    // first that does not, the rest is only checked.
    template <class T, class ReadElement> Field records(std::vector<T>& out, ReadElement&& element) {
        out.clear();
        switch (peek()) {
        case '[':
            break;
        default:
            return absentOrInvalid();
        }
        bool good = true;
        array([&] {
            if (!good) {
                skip();
                return;
            }
            if (peek() != '{') {
                skip();
                good = false;
                return;
            }
            T record;
            if (element(record))
                out.push_back(std::move(record));
            else
                good = false;
        });
        if (!good) {
            out.clear();
            out.shrink_to_fit();
            return Field::invalid;
        }
        return Field::valid;
    }

private:
    // Past the bytes that stand for themselves in a string, eight at a time while it can.
    void skipPlain() {
        constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        while (end_ - p_ >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p_, 8);
            const std::uint64_t quote = word ^ (ones * '"'), backslash = word ^ (ones * '\\');
            // A high bit for every zero byte, control character or byte from 0x80.
            const std::uint64_t special =
                ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash) | (word - ones * 0x20) | word;
            if (special & highs)
                break;
            p_ += 8;
        }
        while (p_ < end_ && plain(*p_))
            ++p_;
    }

    static bool plain(char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x80 && c != '"' && c != '\\';
    }

    // After an element: true at the closing bracket, false at a comma, each read.
    bool closes(char bracket) {
        const int next = peek();
        if (next != bracket && next != ',')
            throw SyntaxError();
        ++p_;
        return next == bracket;
    }

    void enter() {
        if (depth_ >= Json::maximumDepth)
            throw SyntaxError();
        ++depth_;
        ++p_;
    }

    void digits() {
        while (p_ < end_ && isDigit(*p_))
            ++p_;
    }

    void requireDigits() {
        if (p_ == end_ || !isDigit(*p_))
            throw SyntaxError();
        digits();
    }

    std::uint32_t hex4() {
        if (end_ - p_ < 4)
            throw SyntaxError();
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = ascii::hexValue(p_[i]);
            if (digit < 0)
                throw SyntaxError();
            code = code * 16 + std::uint32_t(digit);
        }
        p_ += 4;
        return code;
    }

    // At the backslash.
    void escape(std::string& out) {
        ++p_;
        if (p_ == end_)
            throw SyntaxError();
        const char c = *p_++;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return;
        case 'b':
            out += '\b';
            return;
        case 'f':
            out += '\f';
            return;
        case 'n':
            out += '\n';
            return;
        case 'r':
            out += '\r';
            return;
        case 't':
            out += '\t';
            return;
        case 'u':
            break;
        default:
            throw SyntaxError();
        }
        std::uint32_t code = hex4();
        if (code >= 0xDC00 && code <= 0xDFFF)
            throw SyntaxError(); // a low surrogate alone
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
                throw SyntaxError();
            p_ += 2;
            const std::uint32_t low = hex4();
            if (low < 0xDC00 || low > 0xDFFF)
                throw SyntaxError();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
    }

    // At a byte from 0x80: one well-formed UTF-8 sequence, or an error.
    void multibyte(std::string& out) {
        const auto lead = static_cast<unsigned char>(*p_);
        int continuation = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuation = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuation = 2;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuation = 3;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            throw SyntaxError();
        }
        if (end_ - p_ <= continuation)
            throw SyntaxError();
        for (int i = 1; i <= continuation; ++i) {
            const auto byte = static_cast<unsigned char>(p_[i]);
            if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF))
                throw SyntaxError();
        }
        out.append(p_, std::size_t(continuation + 1));
        p_ += continuation + 1;
    }

    const char* p_;
    const char* end_;
    int depth_ = 0;
    std::string scratch_;
};

// Required keys must hold a value; an optional key may be absent but not of the wrong type.
bool present(std::initializer_list<Field> required) {
    for (Field field : required)
        if (field != Field::valid)
            return false;
    return true;
}

// An item's ground: its identity as two "DEVICE:INODE:BORN" texts and its owner's number.
Field readGround(Reader& in, std::optional<CleanupItem::Ground>& ground) {
    if (in.peek() != '{')
        return in.absentOrInvalid();
    Field item{}, folder{}, owner{};
    std::string itemText, folderText;
    std::int64_t ownerValue = 0;
    in.object([&](std::string_view key) {
        if (key == "item")
            item = in.text(itemText);
        else if (key == "folder")
            folder = in.text(folderText);
        else if (key == "owner")
            owner = in.size(ownerValue);
        else
            in.skip();
    });
    const std::optional<FolderDescent::Identity> identity = FolderDescent::Identity::fromText(itemText, folderText);
    if (!present({item, folder, owner}) || !identity || ownerValue > std::int64_t(UINT32_MAX))
        return Field::invalid;
    ground = CleanupItem::Ground{*identity, std::uint32_t(ownerValue)};
    return Field::valid;
}

bool readItem(Reader& in, CleanupItem& item) {
    Field url{}, name{}, size{}, fileCount{}, lastUsed{}, reason{}, source{}, safety{}, action{}, ground{};
    Date lastUsedValue;
    in.object([&](std::string_view key) {
        if (key == "url")
            url = in.url(item.url);
        else if (key == "name")
            name = in.text(item.name);
        else if (key == "size")
            size = in.size(item.size);
        else if (key == "fileCount")
            fileCount = in.size(item.fileCount);
        else if (key == "lastUsed")
            lastUsed = in.date(lastUsedValue);
        else if (key == "reason")
            reason = in.text(item.reason);
        else if (key == "source")
            source = in.text(item.source);
        else if (key == "safety")
            safety = in.enumeration(item.safety, safetyFromRaw);
        else if (key == "action")
            action = in.enumeration(item.action, cleanupActionFromRaw);
        else if (key == "ground")
            ground = readGround(in, item.ground);
        else
            in.skip();
    });
    if (lastUsed == Field::valid)
        item.lastUsed = lastUsedValue;
    return present({url, name, size, fileCount, reason, source, safety, action}) && lastUsed != Field::invalid &&
           ground != Field::invalid;
}

bool readCategory(Reader& in, Category& category) {
    Field id{}, size{}, items{}, sizeIsEstimate{}, note{};
    std::string noteValue;
    in.object([&](std::string_view key) {
        if (key == "id")
            id = in.enumeration(category.id, categoryIDFromRaw);
        else if (key == "size")
            size = in.size(category.size);
        else if (key == "items")
            items = in.records(category.items, [&in](CleanupItem& item) { return readItem(in, item); });
        else if (key == "sizeIsEstimate")
            sizeIsEstimate = in.boolean(category.sizeIsEstimate);
        else if (key == "note")
            note = in.text(noteValue);
        else
            in.skip();
    });
    if (note == Field::valid)
        category.note = std::move(noteValue);
    return present({id, size, items, sizeIsEstimate}) && note != Field::invalid;
}

bool readScan(Reader& in, ScanResult& scan) {
    Field date{}, volume{}, total{}, free{}, available{}, categories{};
    in.object([&](std::string_view key) {
        if (key == "date")
            date = in.date(scan.date);
        else if (key == "volume")
            volume = in.text(scan.volume);
        else if (key == "total")
            total = in.size(scan.total);
        else if (key == "free")
            free = in.size(scan.free);
        else if (key == "available")
            available = in.size(scan.available);
        else if (key == "categories")
            categories = in.records(scan.categories, [&in](Category& category) { return readCategory(in, category); });
        else
            in.skip();
    });
    return present({date, volume, total, free, available, categories});
}

} // namespace

Expected<ScanResult> ScanResult::fromJsonText(std::string_view text) {
    ScanResult scan;
    bool decodes = false;
    try {
        Reader in(text);
        in.start();
        if (in.peek() == '{')
            decodes = readScan(in, scan);
        else
            in.skip();
        in.finish();
    } catch (const SyntaxError&) {
        return Failure{"not a JSON document, or nested too deeply"};
    }
    if (!decodes)
        return Failure{"ScanResult: a key is missing, null or not of its type"};
    return scan;
}

} // namespace dovrane
