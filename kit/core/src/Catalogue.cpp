#include "core/Catalogue.h"

#include "core/Utf8.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <unordered_map>

namespace dovrane::catalogue {

namespace {

// The number of the placeholder "{n}" at text[at], or 0 with none there; length gets its size.
int placeholderAt(std::string_view text, std::size_t at, std::size_t& length) {
    if (text[at] != '{')
        return 0;
    std::size_t end = at + 1;
    int number = 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9' && number < 1000)
        number = number * 10 + (text[end++] - '0');
    if (end == at + 1 || end >= text.size() || text[end] != '}' || number == 0)
        return 0;
    length = end + 1 - at;
    return number;
}

bool hasOuterSpace(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t'; };
    return space(text.front()) || space(text.back());
}

class Parser {
public:
    explicit Parser(Contents& into) : into_(into) {}

    void file(const File& file) {
        std::string_view rest = file.text;
        if (rest.starts_with("\xEF\xBB\xBF")) // a byte order mark some editors write
            rest.remove_prefix(3);
        int number = 0;
        english_.reset();
        counted_.reset();
        skipped_ = false;
        while (!rest.empty()) {
            ++number;
            const std::size_t newline = rest.find('\n');
            std::string_view line = rest.substr(0, newline);
            rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
            if (line.ends_with('\r'))
                line.remove_suffix(1);

            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos || line[first] == '#')
                continue;
            if (line.starts_with("en: ")) {
                finishEntry(file);
                skipped_ = false;
                if (std::string_view text = line.substr(4); valid(file, number, text))
                    english_ = Pending{text, {}, number};
                else
                    english_ = Pending{{}, {}, number}; // its German is skipped with it
            } else if (line.starts_with("en one: ")) {
                englishOne(file, number, line.substr(8));
            } else if (line.starts_with("de: ")) {
                german(file, number, line.substr(4));
            } else if (line.starts_with("de one: ")) {
                germanOne(file, number, line.substr(8));
            } else {
                problem(file, number,
                        "expected \"en: \", \"en one: \", \"de: \" or \"de one: \" and a text, a comment (#) or an "
                        "empty line");
            }
        }
        finishEntry(file);
    }

private:
    // An English text waiting for its German, with its form for one when it is counted.
    struct Pending {
        std::string_view text; // empty when the line was not valid
        std::string_view one;
        int line = 0;
    };

    void englishOne(const File& file, int line, std::string_view text) {
        if (!english_ || !english_->one.empty()) {
            problem(file, line, "English form for one (en one:) without its English text (en:) right before it");
            return;
        }
        if (!valid(file, line, text)) {
            english_->text = {};
            return;
        }
        if (!english_->text.empty() && placeholders(text) != placeholders(english_->text)) {
            problem(file, line, "the form for one does not have the same placeholders {1}, {2}, … as the English");
            english_->text = {};
            return;
        }
        english_->one = text;
    }

    void german(const File& file, int line, std::string_view text) {
        if (!english_) {
            problem(file, line, "German (de:) without an English text (en:) before it");
            return;
        }
        const Pending source = *english_;
        english_.reset();
        // A refused entry takes its "de one:" with it, unreported.
        skipped_ = true;
        if (source.text.empty() || !valid(file, line, text))
            return;
        if (placeholders(source.text) != placeholders(text)) {
            problem(file, line, "the German does not have the same placeholders {1}, {2}, … as the English");
            return;
        }
        skipped_ = false;
        Entry entry{source.text, text, source.one, {}, file.name, source.line};
        if (source.one.empty())
            add(entry);
        else
            counted_ = entry; // complete with its German form for one
    }

    void germanOne(const File& file, int line, std::string_view text) {
        if (!counted_) {
            if (!skipped_)
                problem(file, line, "German form for one (de one:) without a counted text (en one:) before it");
            return;
        }
        Entry entry = *counted_;
        counted_.reset();
        if (!valid(file, line, text))
            return;
        if (placeholders(text) != placeholders(entry.english)) {
            problem(file, line, "the form for one does not have the same placeholders {1}, {2}, … as the English");
            return;
        }
        entry.germanOne = text;
        add(entry);
    }

    // What the last entry still lacks when the next begins or the file ends.
    void finishEntry(const File& file) {
        if (english_)
            problem(file, english_->line, "no German (de:) for this English text");
        if (counted_)
            problem(file, counted_->line, "no German form for one (de one:) for this counted text");
        english_.reset();
        counted_.reset();
    }

    bool valid(const File& file, int line, std::string_view text) {
        if (text.empty())
            problem(file, line, "empty text");
        else if (hasOuterSpace(text))
            problem(file, line, "the text begins or ends with a space");
        else if (!utf8::isValid(text))
            problem(file, line, "the text is not valid UTF-8");
        else
            return true;
        return false;
    }

    void add(const Entry& entry) {
        auto [found, added] = seen_.emplace(entry.english, into_.entries.size());
        if (!added) {
            const Entry& earlier = into_.entries[found->second];
            problem(entry.file, entry.line,
                    "the English text is already in " + std::string(earlier.file) + " line " +
                        std::to_string(earlier.line));
            return;
        }
        into_.entries.push_back(entry);
    }

    void problem(const File& file, int line, std::string message) { problem(file.name, line, std::move(message)); }
    void problem(std::string_view file, int line, std::string message) {
        into_.problems.push_back({std::string(file), line, std::move(message)});
    }

    Contents& into_;
    std::unordered_map<std::string_view, std::size_t> seen_;
    std::optional<Pending> english_;
    std::optional<Entry> counted_;
    bool skipped_ = false; // the last entry was refused, so its "de one:" is not reported again
};

const std::unordered_map<std::string_view, Entry>& compiledIn() {
    static const auto table = [] {
        std::unordered_map<std::string_view, Entry> byEnglish;
        for (const Entry& entry : parse(embeddedFiles()).entries)
            byEnglish.emplace(entry.english, entry);
        return byEnglish;
    }();
    return table;
}

struct Misses {
    std::mutex mutex;
    std::set<std::string, std::less<>> texts;
};

Misses& missed() {
    static Misses misses;
    return misses;
}

} // namespace

Contents parse(std::span<const File> files) {
    Contents contents;
    Parser parser(contents);
    for (const File& file : files)
        parser.file(file);
    return contents;
}

const Entry* entry(std::string_view english) {
    const auto& table = compiledIn();
    if (auto found = table.find(english); found != table.end())
        return &found->second;
    Misses& misses = missed();
    std::lock_guard lock(misses.mutex);
    if (!misses.texts.contains(english))
        misses.texts.emplace(english);
    return nullptr;
}

std::optional<std::string_view> german(std::string_view english) {
    if (const Entry* found = entry(english))
        return found->german;
    return std::nullopt;
}

std::vector<std::string> misses() {
    Misses& misses = missed();
    std::lock_guard lock(misses.mutex);
    return {misses.texts.begin(), misses.texts.end()};
}

void forgetMisses() {
    Misses& misses = missed();
    std::lock_guard lock(misses.mutex);
    misses.texts.clear();
}

std::vector<int> placeholders(std::string_view text) {
    std::vector<int> numbers;
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t length = 0;
        if (int number = placeholderAt(text, at, length)) {
            numbers.push_back(number);
            at += length - 1;
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

std::string substituted(std::string_view text, std::initializer_list<std::string_view> values) {
    return substituted(text, std::span<const std::string_view>(values.begin(), values.size()));
}

std::string substituted(std::string_view text, std::span<const std::string_view> values) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t length = 0;
        const int number = placeholderAt(text, at, length);
        if (number > 0 && std::size_t(number) <= values.size()) {
            result += values[std::size_t(number) - 1];
            at += length - 1;
        } else {
            result += text[at];
        }
    }
    return result;
}

namespace {

// One form of an entry (its English or German, for any count or for one), cut at its
// placeholders: each piece is literal text or the number of a placeholder.
struct Form {
    struct Piece {
        std::string_view literal;
        int placeholder = 0;
    };
    Entry entry;
    bool german = false;
    bool one = false;
    std::vector<Piece> pieces;
    int highest = 0; // the largest placeholder number
};

std::string_view textOf(const Entry& entry, bool german, bool one) {
    return german ? (one ? entry.germanOne : entry.german) : (one ? entry.englishOne : entry.english);
}

Form formOf(const Entry& entry, bool german, bool one) {
    Form form{entry, german, one, {}, 0};
    const std::string_view text = textOf(entry, german, one);
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t length = 0;
        if (const int number = placeholderAt(text, at, length)) {
            if (at > start)
                form.pieces.push_back({text.substr(start, at - start), 0});
            form.pieces.push_back({{}, number});
            form.highest = std::max(form.highest, number);
            at += length - 1;
            start = at + 1;
        }
    }
    if (start < text.size())
        form.pieces.push_back({text.substr(start), 0});
    return form;
}

// Every form of every compiled-in entry, in the files' order.
const std::vector<Form>& allForms() {
    static const std::vector<Form> forms = [] {
        std::vector<Form> result;
        for (const Entry& entry : parse(embeddedFiles()).entries) {
            result.push_back(formOf(entry, false, false));
            if (entry.german != entry.english)
                result.push_back(formOf(entry, true, false));
            if (!entry.englishOne.empty()) {
                result.push_back(formOf(entry, false, true));
                if (entry.germanOne != entry.englishOne)
                    result.push_back(formOf(entry, true, true));
            }
        }
        return result;
    }();
    return forms;
}

// Library sentences are short; a longer text is no catalogue's, and is not searched. Nor is a
// text built to make the search try its values every way, a tenth of a second for each such
// text of a crafted cache file: the library's own texts read in a few thousand steps.
constexpr std::size_t longestReworded = 4096;
constexpr std::size_t mostSteps = 50'000;

// Reads a text as a row of forms joined by single spaces, with the values in their placeholders.
class FormReader {
public:
    using Values = std::vector<std::optional<std::string_view>>; // by placeholder number - 1
    struct Sentence {
        const Form* form;
        Values values;
    };

    explicit FormReader(std::string_view text) : text_(text), fails_(text.size() + 1, false) {}

    std::optional<std::vector<Sentence>> read() {
        if (text_.empty() || text_.size() > longestReworded || !sentencesFrom(0) || steps_ > mostSteps)
            return std::nullopt;
        return std::move(sentences_);
    }

private:
    bool sentencesFrom(std::size_t at) {
        if (fails_[at])
            return false;
        // First one form to the end of the text, then a form and a row after it: a text one
        // entry makes is read as that entry.
        for (const bool toTheEnd : {true, false}) {
            for (const Form& form : allForms()) {
                Values values(std::size_t(form.highest));
                if (match(form, 0, at, values, toTheEnd))
                    return true;
            }
        }
        fails_[at] = true;
        return false;
    }

    bool match(const Form& form, std::size_t piece, std::size_t at, Values& values, bool toTheEnd) {
        if (++steps_ > mostSteps)
            return false;
        if (piece == form.pieces.size())
            return formEnds(form, at, values, toTheEnd);
        const Form::Piece& current = form.pieces[piece];
        const std::optional<std::string_view> bound =
            current.placeholder ? values[std::size_t(current.placeholder) - 1] : current.literal;
        if (bound)
            return text_.substr(at).starts_with(*bound) && match(form, piece + 1, at + bound->size(), values, toTheEnd);

        // A value is never empty; it ends where the next literal begins, or where a sentence can.
        std::optional<std::string_view>& value = values[std::size_t(current.placeholder) - 1];
        const bool lastPiece = piece + 1 == form.pieces.size();
        const std::string_view next = lastPiece ? std::string_view() : form.pieces[piece + 1].literal;
        for (std::size_t end = at + 1; end <= text_.size(); ++end) {
            if (!next.empty()) {
                end = text_.find(next, end);
                if (end == std::string_view::npos)
                    break;
            } else if (lastPiece && end < text_.size() && text_[end] != ' ') {
                continue;
            }
            value = text_.substr(at, end - at);
            if (match(form, piece + 1, end, values, toTheEnd))
                return true;
        }
        value.reset();
        return false;
    }

    bool formEnds(const Form& form, std::size_t at, const Values& values, bool toTheEnd) {
        if (at == text_.size()) {
            if (!toTheEnd)
                return false;
            sentences_.push_back({&form, values});
            return true;
        }
        if (toTheEnd || text_[at] != ' ')
            return false;
        sentences_.push_back({&form, values});
        if (sentencesFrom(at + 1))
            return true;
        sentences_.pop_back();
        return false;
    }

    std::string_view text_;
    std::size_t steps_ = 0;
    std::vector<bool> fails_; // positions from which no row of forms reads to the end
    std::vector<Sentence> sentences_;
};

// A count as one language groups it ("1,234") as the other does ("1.234"); anything else as it is.
std::string regrouped(std::string_view value, char from, char to) {
    std::string_view digits = value.starts_with('-') ? value.substr(1) : value;
    const std::size_t first = digits.find(from);
    if (first == std::string_view::npos || first == 0 || first > 3)
        return std::string(value);
    for (std::size_t at = 0; at < digits.size(); ++at) {
        const bool separator = at >= first && (at - first) % 4 == 0;
        if (separator ? digits[at] != from : (digits[at] < '0' || digits[at] > '9'))
            return std::string(value);
    }
    if ((digits.size() - first) % 4 != 0)
        return std::string(value);
    std::string result(value);
    std::replace(result.begin(), result.end(), from, to);
    return result;
}

} // namespace

std::optional<std::string> reworded(std::string_view text, bool german) {
    FormReader reader(text);
    const auto sentences = reader.read();
    if (!sentences)
        return std::nullopt;
    std::string result;
    for (const FormReader::Sentence& sentence : *sentences) {
        const Form& form = *sentence.form;
        const std::string_view target = textOf(form.entry, german, form.one);
        // Only a counted text holds a count whose grouping the language decides.
        const bool regroup = !form.entry.englishOne.empty() && form.german != german;
        std::vector<std::string> values;
        values.reserve(sentence.values.size());
        for (const auto& value : sentence.values)
            values.push_back(regroup ? regrouped(value.value_or(""), german ? ',' : '.', german ? '.' : ',')
                                     : std::string(value.value_or("")));
        const std::vector<std::string_view> views(values.begin(), values.end());
        if (!result.empty())
            result += ' ';
        result += substituted(target, std::span<const std::string_view>(views));
    }
    return result;
}

} // namespace dovrane::catalogue
