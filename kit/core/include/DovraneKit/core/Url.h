#pragma once
// A URL as the absolute text it was made from. A file URL is "file://" plus the
// percent-encoded path; path() decodes it back to the exact bytes, so a file name that is not
// valid UTF-8 survives the round trip. Folders carry no trailing slash.

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

class Url {
public:
    Url() = default;

    // File URL of an absolute path (a relative path is taken as absolute).
    static Url fromPath(std::string_view path);
    // An absolute URL ("scheme:rest") whose text holds only characters a URL may hold;
    // absent otherwise. A file URL's trailing slash is dropped.
    static std::optional<Url> parse(std::string_view text);

    const std::string& text() const { return text_; }
    bool empty() const { return text_.empty(); }
    std::string scheme() const; // lower case
    bool isFile() const { return scheme() == "file"; }
    bool isHttp() const;      // http or https
    std::string host() const; // empty for URLs without an authority
    // The decoded path: of a file URL the file-system path; of a hierarchical URL its path
    // component; of an opaque URL ("tmsnapshot:2024-05-01-093012") what follows the colon.
    std::string path() const;
    std::string lastPathComponent() const;
    std::string pathExtension() const;

    // For file URLs: the URL of the path with one component appended or removed.
    Url appending(std::string_view component) const;
    Url deletingLastPathComponent() const;

    auto operator<=>(const Url&) const = default;

private:
    explicit Url(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// Percent-encoding of one query value (everything but unreserved characters is escaped).
std::string percentEncodeQueryValue(std::string_view value);
// Percent-encoding of a path as it appears in a file URL or a trash info file.
std::string percentEncodePath(std::string_view path);
// Decodes %XX escapes; a malformed escape is kept as it stands.
std::string percentDecode(std::string_view text);

} // namespace dovrane

template <> struct std::hash<dovrane::Url> {
    std::size_t operator()(const dovrane::Url& url) const noexcept { return std::hash<std::string>{}(url.text()); }
};
