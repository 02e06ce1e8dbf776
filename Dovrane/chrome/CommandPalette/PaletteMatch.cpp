#include "CommandPalette/PaletteMatch.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace dovrane::PaletteMatch {

namespace {

// One user-perceived character.
using Cluster = icu::UnicodeString;
using Clusters = std::vector<Cluster>;

// Composed (NFC), so a decomposed accent equals a precomposed one; unchanged when ICU cannot
// normalise.
icu::UnicodeString composed(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text;
    icu::UnicodeString result = nfc->normalize(text, status);
    return U_SUCCESS(status) ? result : text;
}

// Lower-cased by the root locale (a Turkish user locale must not turn "I" into a dotless i),
// then composed, so a decomposed accent compares equal to a precomposed one.
icu::UnicodeString prepared(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
    text.toLower(icu::Locale::getRoot());
    return composed(text);
}

Clusters clusters(const icu::UnicodeString& text) {
    Clusters result;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        // Without break rules every code point stands alone.
        for (int32_t at = 0; at < text.length(); at = text.moveIndex32(at, 1))
            result.emplace_back(text, at, text.moveIndex32(at, 1) - at);
        return result;
    }
    breaks->setText(text);
    int32_t start = breaks->first();
    for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next())
        result.emplace_back(text, start, end - start);
    return result;
}

bool isWordCharacter(const Cluster& cluster) {
    const UChar32 first = cluster.char32At(0);
    return u_hasBinaryProperty(first, UCHAR_ALPHABETIC) ||
           u_getIntPropertyValue(first, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isWhiteSpace(const Cluster& cluster) { return u_hasBinaryProperty(cluster.char32At(0), UCHAR_WHITE_SPACE); }

// The runs of clusters between separators; empty runs are dropped.
template <typename IsSeparator> std::vector<Clusters> split(const Clusters& text, IsSeparator isSeparator) {
    std::vector<Clusters> words;
    Clusters word;
    for (const Cluster& cluster : text) {
        if (isSeparator(cluster)) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back(cluster);
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

bool beginsWith(const Clusters& text, const Clusters& prefix) {
    return prefix.size() <= text.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

bool contains(const Clusters& text, const Clusters& part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end()) != text.end();
}

} // namespace

std::optional<int> score(std::string_view query, std::string_view title) {
    const std::vector<Clusters> queryWords = split(clusters(prepared(query)), isWhiteSpace);
    if (queryWords.empty())
        return 0;
    const Clusters lowerTitle = clusters(prepared(title));
    const std::vector<Clusters> titleWords = split(lowerTitle, [](const Cluster& c) { return !isWordCharacter(c); });

    int total = 0;
    for (const Clusters& word : queryWords) {
        if (beginsWith(lowerTitle, word))
            continue;
        if (std::any_of(titleWords.begin(), titleWords.end(), [&](const Clusters& w) { return beginsWith(w, word); }))
            total += 1;
        else if (contains(lowerTitle, word))
            total += 3;
        else
            return std::nullopt;
    }
    return total;
}

} // namespace dovrane::PaletteMatch
