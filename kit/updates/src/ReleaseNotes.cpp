// HTML release notes made short plain text: tags, comments, scripts and styles go, line
// breaks and list items stay visible, the common entities are decoded.

#include "DovraneKit/updates/ReleaseNotes.h"

#include "core/Characters.h"
#include "core/Pattern.h"
#include "core/Utf8.h"

#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

namespace {

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
template <class Find> class ForwardSearch {
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

std::optional<std::string> ReleaseNotes::plain(const std::optional<std::string>& html) {
    if (!html || html->empty())
        return std::nullopt;
    std::string text = stripMarkup(utf8::valid(*html));

    // &amp; comes last, so an escaped entity such as &amp;lt; is not decoded twice.
    static constexpr std::pair<std::string_view, std::string_view> entities[] = {
        {"&nbsp;", " "}, {"&lt;", "<"},   {"&gt;", ">"}, {"&quot;", "\""},
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
        std::string line = trimmedHorizontalSpace(std::string_view(text).substr(from, to - from));
        if (!line.empty() || (keptAny && !lastKeptEmpty)) {
            if (keptAny)
                joined += '\n';
            joined += line;
            keptAny = true;
            lastKeptEmpty = line.empty();
        }
        from = to + 1;
    }
    std::string result = trimmedWhiteSpace(joined);
    if (result.empty())
        return std::nullopt;
    return prefixCharacters(result, maxNoteCharacters);
}

} // namespace dovrane
