#include "DovraneKit/apps/AppVersion.h"

#include "core/Characters.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace dovrane::AppVersion {

namespace {

// Longest run of a number that is read; eighteen decimal digits always fit in 64 bits.
constexpr int maxDigits = 18;

// One character-break iterator per thread: making one costs far more than a comparison.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            made.reset();
        return made;
    }();
    return iterator.get();
}

// Calls visit(start, end) for every user-perceived character of text.
template <class Visit> void forEachCharacter(const icu::UnicodeString& text, Visit visit) {
    icu::BreakIterator* iterator = characterIterator();
    if (!iterator) { // no break rules available: fall back to code points
        for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
            visit(i, text.moveIndex32(i, 1));
        return;
    }
    iterator->setText(text);
    int32_t start = iterator->first();
    for (int32_t end = iterator->next(); end != icu::BreakIterator::DONE; start = end, end = iterator->next())
        visit(start, end);
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::UnicodeString canonical(const std::string& utf8) { return composed(icu::UnicodeString::fromUTF8(utf8)); }

// Unicode code-point order of the canonical forms: negative, zero or positive.
int compareTexts(const std::string& a, const std::string& b) {
    if (a == b)
        return 0;
    return canonical(a).compareCodePointOrder(canonical(b));
}

class Splitter {
public:
    void number(const icu::UnicodeString& character) {
        if (!letters_.isEmpty())
            flush();
        if (digitCount_ < maxDigits) {
            bool ascii = character.length() == 1 && character[0] >= u'0' && character[0] <= u'9';
            allAscii_ = allAscii_ && ascii;
            if (allAscii_)
                value_ = value_ * 10 + (character[0] - u'0');
        }
        ++digitCount_;
    }

    void letter(const icu::UnicodeString& character) {
        if (digitCount_ > 0)
            flush();
        letters_ += character;
    }

    void flush() {
        if (digitCount_ > 0)
            parts_.push_back(Part::makeNumber(allAscii_ ? value_ : 0));
        digitCount_ = 0;
        value_ = 0;
        allAscii_ = true;
        if (!letters_.isEmpty()) {
            letters_.toLower(icu::Locale::getRoot());
            parts_.push_back(Part::makeText(toUtf8(letters_)));
            letters_.remove();
        }
    }

    std::vector<Part> take() { return std::move(parts_); }

private:
    std::vector<Part> parts_;
    int digitCount_ = 0;
    std::int64_t value_ = 0;
    bool allAscii_ = true;
    icu::UnicodeString letters_;
};

bool isSeparator(const icu::UnicodeString& character) {
    return character.length() == 1 && (character[0] == u' ' || character[0] == u',');
}

// A character counts by its first code point, the numeric test before the letter test.
bool isNumeric(UChar32 c) { return u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE; }
bool isLetter(UChar32 c) { return u_hasBinaryProperty(c, UCHAR_ALPHABETIC) != 0; }

bool isSignificant(const Part& part) { return part.isText() || part.number != 0; }

// The verdict once one list has run out at index: whether the longer list's remainder makes
// it newer, older or changes nothing. Seen from the longer list.
ComparisonResult longerAgainstShorter(const std::vector<Part>& longer, std::size_t index) {
    const Part& first = longer[index];
    if (first.isText())
        return ComparisonResult::orderedAscending; // a pre-release marker right after: older
    if (first.number != 0)
        return ComparisonResult::orderedDescending;
    bool anySignificant = std::any_of(longer.begin() + std::ptrdiff_t(index), longer.end(), isSignificant);
    return anySignificant ? ComparisonResult::orderedDescending : ComparisonResult::orderedSame;
}

ComparisonResult reversed(ComparisonResult result) { return ComparisonResult(-static_cast<int>(result)); }

} // namespace

bool Part::operator==(const Part& other) const {
    if (kind != other.kind)
        return false;
    return kind == Kind::number ? number == other.number : compareTexts(text, other.text) == 0;
}

std::vector<Part> parts(std::string_view version) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(version.data(), int32_t(version.size())));
    Splitter splitter;
    bool started = false, finished = false;
    forEachCharacter(text, [&](int32_t start, int32_t end) {
        if (finished)
            return;
        icu::UnicodeString character(text, start, end - start);
        if (isSeparator(character)) {
            finished = started; // leading separators are skipped, the next one ends the piece
            return;
        }
        started = true;
        UChar32 first = character.char32At(0);
        if (isNumeric(first))
            splitter.number(character);
        else if (isLetter(first))
            splitter.letter(character);
        else
            splitter.flush();
    });
    splitter.flush();
    return splitter.take();
}

ComparisonResult compare(std::string_view a, std::string_view b) {
    auto left = parts(a);
    auto right = parts(b);
    std::size_t count = std::max(left.size(), right.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= left.size())
            return reversed(longerAgainstShorter(right, i));
        if (i >= right.size())
            return longerAgainstShorter(left, i);
        const Part& x = left[i];
        const Part& y = right[i];
        if (x.isNumber() && y.isNumber()) {
            if (x.number != y.number)
                return x.number < y.number ? ComparisonResult::orderedAscending : ComparisonResult::orderedDescending;
        } else if (x.isText() && y.isNumber()) {
            return ComparisonResult::orderedAscending;
        } else if (x.isNumber() && y.isText()) {
            return ComparisonResult::orderedDescending;
        } else if (int order = compareTexts(x.text, y.text); order != 0) {
            return order < 0 ? ComparisonResult::orderedAscending : ComparisonResult::orderedDescending;
        }
    }
    return ComparisonResult::orderedSame;
}

bool isNewer(std::string_view a, std::string_view than) {
    return compare(a, than) == ComparisonResult::orderedDescending;
}

} // namespace dovrane::AppVersion
