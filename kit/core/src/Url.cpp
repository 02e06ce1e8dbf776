#include "DovraneKit/core/Url.h"

#include "DovraneKit/core/Path.h"

#include "core/Ascii.h"
#include <cctype>

namespace dovrane {

namespace {

bool isUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelimiter(unsigned char c) {
    return c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' || c == ',' ||
           c == ';' || c == '=';
}
bool isHex(unsigned char c) { return ascii::hexValue(char(c)) >= 0; }

std::string encode(std::string_view text, bool (*keep)(unsigned char)) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (keep(c)) {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

bool keepInPath(unsigned char c) { return isUnreserved(c) || isSubDelimiter(c) || c == '/' || c == ':' || c == '@'; }
bool keepInQueryValue(unsigned char c) { return isUnreserved(c); }

bool validScheme(std::string_view scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0])))
        return false;
    for (unsigned char c : scheme)
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

// Only characters that may stand in a URL: unreserved, reserved and well-formed escapes.
bool validRest(std::string_view rest) {
    for (std::size_t i = 0; i < rest.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rest[i]);
        if (c == '%') {
            if (i + 2 >= rest.size())
                return false;
            if (!isHex(static_cast<unsigned char>(rest[i + 1])) || !isHex(static_cast<unsigned char>(rest[i + 2])))
                return false;
            i += 2;
            continue;
        }
        if (isUnreserved(c) || isSubDelimiter(c))
            continue;
        switch (c) {
        case ':':
        case '/':
        case '?':
        case '#':
        case '[':
        case ']':
        case '@':
            continue;
        default:
            return false;
        }
    }
    return true;
}

// A file URL in the very form fromPath writes: "file://", an absolute path of characters kept
// as they are, and no trailing slash. Parsing one gives it back unchanged, so a long list of
// stored URLs reads without decoding and encoding each.
bool isWrittenByFromPath(std::string_view text) {
    constexpr std::string_view prefix = "file://";
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix)
        return false;
    const std::string_view path = text.substr(prefix.size());
    if (path[0] != '/' || (path.size() > 1 && path.back() == '/'))
        return false;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool letterOrDigit =
            (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
        if (!letterOrDigit && !keepInPath(byte))
            return false;
    }
    return true;
}

std::string stripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string percentEncodePath(std::string_view path) { return encode(path, keepInPath); }
std::string percentEncodeQueryValue(std::string_view value) { return encode(value, keepInQueryValue); }

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '%' && i + 2 < text.size() && isHex(static_cast<unsigned char>(text[i + 1])) &&
            isHex(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(char(ascii::hexValue(text[i + 1]) * 16 + ascii::hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}

Url Url::fromPath(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/')
        absolute.insert(absolute.begin(), '/');
    return Url("file://" + percentEncodePath(stripTrailingSlashes(absolute)));
}

std::optional<Url> Url::parse(std::string_view text) {
    if (isWrittenByFromPath(text))
        return Url{std::string(text)};
    auto colon = text.find(':');
    if (colon == std::string_view::npos || !validScheme(text.substr(0, colon)))
        return std::nullopt;
    if (!validRest(text.substr(colon + 1)))
        return std::nullopt;
    Url url{std::string(text)};
    if (url.isFile()) {
        // "%00" would cut the path short where the file system reads it: another file.
        auto path = url.path();
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
            return std::nullopt;
        return fromPath(path);
    }
    return url;
}

std::string Url::scheme() const {
    auto colon = text_.find(':');
    if (colon == std::string::npos)
        return {};
    return ascii::lowercased(std::string_view(text_).substr(0, colon));
}

bool Url::isHttp() const {
    auto s = scheme();
    return s == "http" || s == "https";
}

std::string Url::host() const {
    auto colon = text_.find(':');
    if (colon == std::string::npos || text_.compare(colon + 1, 2, "//") != 0)
        return {};
    auto start = colon + 3;
    auto end = text_.find_first_of("/?#", start);
    std::string authority = text_.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (auto at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    if (!authority.empty() && authority[0] == '[')
        return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

std::string Url::path() const {
    auto colon = text_.find(':');
    if (colon == std::string::npos)
        return {};
    std::string_view rest(text_);
    rest.remove_prefix(colon + 1);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        auto slash = rest.find_first_of("/?#");
        if (slash == std::string_view::npos || rest[slash] != '/')
            return isFile() ? "/" : "";
        rest.remove_prefix(slash);
    }
    if (auto end = rest.find_first_of("?#"); end != std::string_view::npos && !isFile())
        rest = rest.substr(0, end);
    auto decoded = percentDecode(rest);
    return isFile() ? stripTrailingSlashes(decoded) : decoded;
}

std::string Url::lastPathComponent() const { return Path::lastComponent(path()); }
std::string Url::pathExtension() const { return Path::extension(lastPathComponent()); }

Url Url::appending(std::string_view component) const { return fromPath(Path::join(path(), component)); }
Url Url::deletingLastPathComponent() const { return fromPath(Path::parent(path())); }

} // namespace dovrane
