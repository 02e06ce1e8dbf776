#include "DovraneKit/Appcast.h"

// The entity-expansion limits are declared only for builds with DTD support, as Debian's is.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
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

std::string asciiLower(std::string text) {
    // The words these are compared with hold no letter whose Unicode lower-case form differs
    // from its ASCII one, so ASCII folding decides the same.
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
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

class Replacement {
public:
    Replacement(const char* pattern, std::string_view replacement) : replacement_(replacement) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, PCRE2_UTF | PCRE2_UCP,
                              &error, &offset, nullptr);
        if (code_)
            pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE); // optional speed-up; the interpreter serves otherwise
    }
    ~Replacement() { pcre2_code_free(code_); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Every match replaced; the text unchanged should matching fail for any reason.
    std::string apply(const std::string& text) const {
        if (!code_)
            return text;
        std::string out(text.size() + 64, '\0');
        for (int attempt = 0; attempt < 2; ++attempt) {
            PCRE2_SIZE length = out.size();
            int rc = pcre2_substitute(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                      PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr, nullptr,
                                      reinterpret_cast<PCRE2_SPTR>(replacement_.data()), replacement_.size(),
                                      reinterpret_cast<PCRE2_UCHAR*>(out.data()), &length);
            if (rc >= 0) {
                out.resize(length);
                return out;
            }
            if (rc != PCRE2_ERROR_NOMEMORY)
                return text;
            out.assign(length + 1, '\0');
        }
        return text;
    }

private:
    pcre2_code* code_ = nullptr;
    std::string replacement_;
};

const std::array<std::unique_ptr<Replacement>, 5>& markupReplacements() {
    static const std::array<std::unique_ptr<Replacement>, 5> replacements = {
        // Line breaks and the ends of paragraphs, list items, headings and divisions.
        std::make_unique<Replacement>(R"((?i)<\s*(br|/p|/li|/h[1-6]|/div)\s*/?>)", "\n"),
        // The start of a list item; the word boundary keeps <link> and <lines> out.
        std::make_unique<Replacement>(R"((?i)<\s*li\b[^>]*>)", "\u2022 "),
        std::make_unique<Replacement>(R"((?s)<!--.*?-->)", ""),
        std::make_unique<Replacement>(R"((?is)<(script|style)[^>]*>.*?</\1>)", ""),
        std::make_unique<Replacement>(R"(<[^>]+>)", ""),
    };
    return replacements;
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

// Well-formed UTF-8 for the matcher; invalid sequences become U+FFFD.
std::string validUtf8(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).toUTF8String(out);
    return out;
}

// The first count user-perceived characters of text.
std::string prefixCharacters(const std::string& text, std::size_t count) {
    if (text.size() <= count)
        return text; // every character is at least one byte
    icu::UnicodeString wide = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    int32_t end = wide.length();
    if (U_SUCCESS(status) && iterator) {
        iterator->setText(wide);
        int32_t boundary = iterator->first();
        for (std::size_t n = 0; n < count && boundary != icu::BreakIterator::DONE; ++n)
            boundary = iterator->next();
        if (boundary != icu::BreakIterator::DONE)
            end = boundary;
    } else {
        end = std::min(end, wide.moveIndex32(0, int32_t(count)));
    }
    std::string out;
    wide.tempSubString(0, end).toUTF8String(out);
    return out;
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
        if (item.os && asciiLower(*item.os) != "macos")
            return false;
        if (item.minimumSystemVersion &&
            AppVersion::compare(*item.minimumSystemVersion, system) == ComparisonResult::orderedDescending)
            return false;
        if (item.channel) {
            auto channel = asciiLower(*item.channel);
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
    std::string text = validUtf8(*html);
    for (const auto& replacement : markupReplacements())
        text = replacement->apply(text);

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
