#include "DovraneKit/updates/Appcast.h"

#include "core/Ascii.h"
#include "core/Characters.h"

// The entity-expansion limits are declared only for builds with DTD support, as Debian's is.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <charconv>
#include <cstring>

namespace dovrane {

namespace {

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
        std::string value = trimmedWhiteSpace(text_);
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

std::optional<AppcastItem> AppcastParser::best(const std::vector<AppcastItem>& items,
                                               OperatingSystemVersion osVersion) {
    std::string system =
        std::to_string(osVersion.major) + "." + std::to_string(osVersion.minor) + "." + std::to_string(osVersion.patch);
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

} // namespace dovrane
