#include "DovraneKit/Appcast.h"

#include "Ascii.h"
#include "Characters.h"
#include "Pattern.h"
#include "Utf8.h"

// The entity-expansion limits are declared only for builds with DTD support, as Debian's is.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>
#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <charconv>
#include <cstring>
#include <memory>

namespace dovrane {

namespace {

// --- text helpers --------------------------------------------------------------------------

bool isWhiteOrLineBreak(UChar32 c) { return u_isUWhiteSpace(c) != 0; }
bool isHorizontalSpace(UChar32 c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }

// text without leading and trailing code points that match.
std::string trimmed(std::string_view text, bool (*matches)(UChar32)) {
    icu::UnicodeString wide = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    int32_t start = 0;
    while (start < wide.length() && matches(wide.char32At(start)))
        start = wide.moveIndex32(start, 1);
    int32_t end = wide.length();
    while (end > start) {
        int32_t previous = wide.moveIndex32(end, -1);
        if (!matches(wide.char32At(previous)))
            break;
        end = previous;
    }
    if (start == 0 && end == wide.length())
        return std::string(text);
    std::string out;
    wide.tempSubString(start, end - start).toUTF8String(out);
    return out;
}

// Feeds name their downloads and notes pages; anything but a web address is not used.
std::optional<Url> webUrl(std::string_view text) {
    auto url = Url::parse(text);
    if (!url || !url->isHttp())
        return std::nullopt;
    return url;
}

std::optional<std::int64_t> decimal(std::string_view text) {
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// --- feed reading --------------------------------------------------------------------------

// Expansion a hostile document may cause before expat gives up, should entities ever be
// reached: declarations already stop the read, this is the second fence.
constexpr float maxAmplification = 10.0f;
constexpr unsigned long long amplificationThreshold = 1ull << 20;

class FeedReader {
public:
    FeedReader() : parser_(XML_ParserCreate(nullptr)) {
        if (!parser_)
            return;
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &FeedReader::onStart, &FeedReader::onEnd);
        XML_SetCharacterDataHandler(parser_, &FeedReader::onText);
        XML_SetEntityDeclHandler(parser_, &FeedReader::onEntityDeclaration);
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
        XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, maxAmplification);
        XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_, amplificationThreshold);
    }
    ~FeedReader() {
        if (parser_)
            XML_ParserFree(parser_);
    }
    FeedReader(const FeedReader&) = delete;
    FeedReader& operator=(const FeedReader&) = delete;

    std::vector<AppcastItem> read(std::string_view bytes) {
        if (parser_)
            XML_Parse(parser_, bytes.data(), int(bytes.size()), XML_TRUE); // errors end the read
        return std::move(items_);
    }

private:
    static const char* attribute(const XML_Char** attributes, const char* name) {
        for (int i = 0; attributes[i]; i += 2)
            if (std::strcmp(attributes[i], name) == 0)
                return attributes[i + 1];
        return nullptr;
    }
    static std::optional<std::string> optionalAttribute(const XML_Char** attributes, const char* name) {
        const char* value = attribute(attributes, name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }

    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<FeedReader*>(data)->start(name, attributes);
    }
    static void XMLCALL onEnd(void* data, const XML_Char* name) { static_cast<FeedReader*>(data)->end(name); }
    static void XMLCALL onText(void* data, const XML_Char* text, int length) {
        static_cast<FeedReader*>(data)->text_.append(text, std::size_t(length));
    }
    // A feed has no use for entities; a document declaring them is not read any further.
    static void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                            const XML_Char*, const XML_Char*, const XML_Char*) {
        XML_StopParser(static_cast<FeedReader*>(data)->parser_, XML_FALSE);
    }

    void start(std::string_view name, const XML_Char** attributes) {
        text_.clear();
        if (name == "item") {
            current_ = AppcastItem{};
        } else if (name == "sparkle:deltas") {
            inDeltas_ = true;
        } else if (name == "enclosure") {
            if (!current_ || inDeltas_)
                return; // delta updates are ignored whole
            AppcastItem& item = *current_;
            const char* url = attribute(attributes, "url");
            item.url = url ? webUrl(url) : std::nullopt;
            const char* length = attribute(attributes, "length");
            item.length = length ? decimal(length) : std::nullopt;
            item.edSignature = optionalAttribute(attributes, "sparkle:edSignature");
            item.os = optionalAttribute(attributes, "sparkle:os");
            if (!item.version)
                item.version = optionalAttribute(attributes, "sparkle:version");
            if (!item.shortVersion)
                item.shortVersion = optionalAttribute(attributes, "sparkle:shortVersionString");
        } else if (name == "sparkle:releaseNotesLink") {
            notesLanguage_ = optionalAttribute(attributes, "xml:lang");
        } else if (name == "sparkle:informationalUpdate") {
            if (current_)
                current_->informationalOnly = true;
        }
    }

    void end(std::string_view name) {
        if (!current_) {
            text_.clear();
            return;
        }
        std::string value = trimmed(text_, isWhiteOrLineBreak);
        text_.clear();
        AppcastItem& item = *current_;
        auto replaceUnlessEmpty = [&](std::optional<std::string>& field) {
            if (!value.empty())
                field = value;
        };
        if (name == "item") {
            items_.push_back(std::move(item));
            current_.reset();
        } else if (name == "sparkle:deltas") {
            inDeltas_ = false;
        } else if (name == "title") {
            item.title = value;
        } else if (name == "sparkle:version") {
            replaceUnlessEmpty(item.version);
        } else if (name == "sparkle:shortVersionString") {
            replaceUnlessEmpty(item.shortVersion);
        } else if (name == "sparkle:minimumSystemVersion") {
            replaceUnlessEmpty(item.minimumSystemVersion);
        } else if (name == "sparkle:channel") {
            replaceUnlessEmpty(item.channel);
        } else if (name == "description") {
            replaceUnlessEmpty(item.description);
        } else if (name == "sparkle:releaseNotesLink" && !value.empty()) {
            // The first link counts whatever its language; a later one only when unmarked or English.
            if (!item.releaseNotesURL || !notesLanguage_ || *notesLanguage_ == "en")
                item.releaseNotesURL = webUrl(value);
        }
    }

    XML_Parser parser_;
    std::vector<AppcastItem> items_;
    std::optional<AppcastItem> current_;
    std::string text_;
    bool inDeltas_ = false;
    std::optional<std::string> notesLanguage_;
};

// --- release notes -------------------------------------------------------------------------

constexpr std::size_t maxNoteCharacters = 4000;

// Every match of pattern replaced. Each match ends with ending, so the text after its last
// occurrence is left out of the search: a start with no ending after it would otherwise be
// retried against the whole rest of the text, quadratic on hostile notes.
std::string replaceMatches(const std::string& text, const Pattern& pattern, std::string_view replacement,
                           std::string_view ending) {
    auto last = text.rfind(ending);
    if (last == std::string::npos)
        return text;
    std::size_t cut = last + ending.size();
    auto replaced = pattern.substitute(std::string_view(text).substr(0, cut), replacement);
    if (!replaced)
        return text;
    return *replaced + text.substr(cut);
}

// The first occurrence at or after a position, for positions that never go back: the text
// in between is searched only once, so one pass over the whole text stays linear.
template <class Find>
class ForwardSearch {
public:
    explicit ForwardSearch(Find find) : find_(std::move(find)) {}
    std::optional<std::size_t> from(std::size_t position) {
        if (!searched_ || (found_ && *found_ < position)) {
            found_ = find_(position);
            searched_ = true;
        }
        return found_;
    }

private:
    Find find_;
    bool searched_ = false;
    std::optional<std::size_t> found_; // start of the occurrence, or its end where the caller wants that
};

// Removes what "(?is)<(script|style)[^>]*>.*?</\1>" matches, replacing every match with
// nothing. Done piecewise because one expression retries the rest of the text from every
// opening tag that is never closed.
std::string removeScriptsAndStyles(const std::string& text) {
    static const Pattern opening(R"((?i)<(?:(script)|(style)))", Pattern::unicode);
    static const Pattern closings[2] = {Pattern(R"((?i)</script>)", Pattern::unicode),
                                        Pattern(R"((?i)</style>)", Pattern::unicode)};

    auto closingEnd = [&text](const Pattern& closing) {
        return [&text, &closing](std::size_t from) -> std::optional<std::size_t> {
            auto match = closing.find(text, from);
            return match ? std::optional(match->end) : std::nullopt;
        };
    };
    auto greaterThan = [&text](std::size_t from) -> std::optional<std::size_t> {
        auto at = text.find('>', from);
        return at == std::string::npos ? std::nullopt : std::optional(at);
    };
    ForwardSearch tagEnd(greaterThan);
    ForwardSearch scriptEnd(closingEnd(closings[0]));
    ForwardSearch styleEnd(closingEnd(closings[1]));

    std::string out;
    std::size_t copied = 0, position = 0;
    while (auto open = opening.find(text, position)) {
        auto gt = tagEnd.from(open->end);
        if (!gt)
            break; // no tag after this one can be complete either
        // The block ends with the first closing tag whose "<" follows the opening tag's ">".
        auto end = (open->group == 1 ? scriptEnd : styleEnd).from(*gt + 1);
        if (!end) {
            position = open->start + 1;
            continue;
        }
        out.append(text, copied, open->start - copied);
        copied = position = *end;
    }
    if (copied == 0)
        return text;
    out.append(text, copied, std::string::npos);
    return out;
}

// Line breaks and the ends of paragraphs, list items, headings and divisions.
const Pattern& lineBreaks() {
    static const Pattern pattern(R"((?i)<\s*(br|/p|/li|/h[1-6]|/div)\s*/?>)", Pattern::unicode);
    return pattern;
}
// The start of a list item; the word boundary keeps <link> and <lines> out.
const Pattern& listItems() {
    static const Pattern pattern(R"((?i)<\s*li\b[^>]*>)", Pattern::unicode);
    return pattern;
}
const Pattern& comments() {
    static const Pattern pattern(R"((?s)<!--.*?-->)", Pattern::unicode);
    return pattern;
}
const Pattern& tags() {
    static const Pattern pattern(R"(<[^>]+>)", Pattern::unicode);
    return pattern;
}

std::string stripMarkup(const std::string& html) {
    std::string text = replaceMatches(html, lineBreaks(), "\n", ">");
    text = replaceMatches(text, listItems(), "\u2022 ", ">");
    text = replaceMatches(text, comments(), "", "-->");
    text = removeScriptsAndStyles(text);
    return replaceMatches(text, tags(), "", ">");
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(what, from)) != std::string::npos; from = at + what.size()) {
        out.append(text, from, at - from);
        out.append(with);
    }
    if (from == 0)
        return;
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

} // namespace

std::optional<std::string> AppcastItem::displayVersion() const {
    if (shortVersion)
        return shortVersion;
    return version ? version : title;
}

std::optional<std::string> AppcastItem::compareVersion() const { return version ? version : shortVersion; }

std::vector<AppcastItem> AppcastParser::items(std::string_view bytes) {
    if (bytes.size() > maxFeedBytes)
        return {};
    return FeedReader().read(bytes);
}

std::optional<AppcastItem> AppcastParser::best(const std::vector<AppcastItem>& items, OperatingSystemVersion osVersion) {
    std::string system = std::to_string(osVersion.major) + "." + std::to_string(osVersion.minor) + "." +
                         std::to_string(osVersion.patch);
    auto usable = [&](const AppcastItem& item) {
        if (!item.url || item.informationalOnly || !item.compareVersion())
            return false;
        // The words compared with hold no letter whose Unicode lower case differs from its
        // ASCII one, so ASCII folding decides the same.
        if (item.os && ascii::lowercased(*item.os) != "macos")
            return false;
        if (item.minimumSystemVersion &&
            AppVersion::compare(*item.minimumSystemVersion, system) == ComparisonResult::orderedDescending)
            return false;
        if (item.channel) {
            auto channel = ascii::lowercased(*item.channel);
            if (channel != "stable" && channel != "release" && channel != "production")
                return false;
        }
        return true;
    };
    const AppcastItem* chosen = nullptr;
    for (const auto& item : items) {
        if (!usable(item))
            continue;
        // Equal versions keep the earlier item.
        if (!chosen || AppVersion::isNewer(*item.compareVersion(), *chosen->compareVersion()))
            chosen = &item;
    }
    return chosen ? std::optional<AppcastItem>(*chosen) : std::nullopt;
}

std::optional<std::string> ReleaseNotes::plain(const std::optional<std::string>& html) {
    if (!html || html->empty())
        return std::nullopt;
    std::string text = stripMarkup(utf8::valid(*html));

    // &amp; comes last, so an escaped entity such as &amp;lt; is not decoded twice.
    static constexpr std::pair<std::string_view, std::string_view> entities[] = {
        {"&nbsp;", " "}, {"&lt;", "<"},  {"&gt;", ">"}, {"&quot;", "\""},
        {"&#39;", "'"},  {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities)
        replaceAll(text, entity, character);

    // Lines trimmed; leading blank lines dropped and runs of blank lines made one.
    std::string joined;
    bool keptAny = false, lastKeptEmpty = false;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t newline = text.find('\n', from);
        std::size_t to = newline == std::string::npos ? text.size() : newline;
        std::string line = trimmed(std::string_view(text).substr(from, to - from), isHorizontalSpace);
        if (!line.empty() || (keptAny && !lastKeptEmpty)) {
            if (keptAny)
                joined += '\n';
            joined += line;
            keptAny = true;
            lastKeptEmpty = line.empty();
        }
        from = to + 1;
    }
    std::string result = trimmed(joined, isWhiteOrLineBreak);
    if (result.empty())
        return std::nullopt;
    return prefixCharacters(result, maxNoteCharacters);
}

} // namespace dovrane
