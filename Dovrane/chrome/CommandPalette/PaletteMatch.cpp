#include "CommandPalette/PaletteMatch.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <vector>

namespace dovrane::PaletteMatch {

namespace {

// One user-perceived character.
using Cluster = QString;
using Clusters = std::vector<Cluster>;

// Lower-cased by Unicode's own rules, never the user's locale (a Turkish one must not turn "I"
// into a dotless i), then composed, so a decomposed accent compares equal to a precomposed one.
QString prepared(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toLower().normalized(QString::NormalizationForm_C);
}

Clusters clusters(const QString& text) {
    Clusters result;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = breaks.toNextBoundary(); end != -1 && end > start; start = end, end = breaks.toNextBoundary())
        result.push_back(text.mid(start, end - start));
    return result;
}

char32_t firstCodePoint(const Cluster& cluster) {
    const QChar first = cluster.front();
    return first.isHighSurrogate() && cluster.size() > 1 ? QChar::surrogateToUcs4(first, cluster.at(1))
                                                         : first.unicode();
}

// Letters and numerals of every script belong to words.
bool isWordCharacter(const Cluster& cluster) { return QChar::isLetterOrNumber(firstCodePoint(cluster)); }

bool isWhiteSpace(const Cluster& cluster) { return QChar::isSpace(firstCodePoint(cluster)); }

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
