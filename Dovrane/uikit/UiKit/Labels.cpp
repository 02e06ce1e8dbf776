#include "UiKit/Labels.h"

#include "UiKit/Appearance.h"

#include <DovraneKit/core/Language.h>

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <vector>

namespace dovrane {

StyledLabel::StyledLabel(const QString& text, const QFont& font, ColorSource color, QWidget* parent)
    : QLabel(parent), color_(std::move(color)) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    applyColor();
    connect(&Appearance::shared(), &Appearance::changed, this, &StyledLabel::applyColor);
}

void StyledLabel::setColor(ColorSource color) {
    color_ = std::move(color);
    applyColor();
}

void StyledLabel::applyColor() {
    applying_ = true;
    if (!color_) {
        setPalette(QPalette());
    } else {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, color_());
        p.setColor(QPalette::Text, color_());
        setPalette(p);
    }
    applying_ = false;
}

void StyledLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // A colour taken from the window's palette (the accent) follows when that palette changes.
    if (event->type() == QEvent::PaletteChange && color_ && !applying_)
        applyColor();
}

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, ColorSource color, QWidget* parent)
    : StyledLabel(text, font, std::move(color), parent), full_(text) {
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    updateGeometry();
    refit();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    const int frame = 2 * (margin() + frameWidth());
    return {fontMetrics().horizontalAdvance(full_) + margins.left() + margins.right() + frame + 1,
            fontMetrics().height() + margins.top() + margins.bottom() + frame};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QSize whole = sizeHint();
    return {std::min(whole.width(), fontMetrics().horizontalAdvance(QStringLiteral("Www\u2026"))), whole.height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    StyledLabel::resizeEvent(event);
    refit();
}

void ElidedLabel::refit() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width() - 2 * margin());
    if (shown != text())
        setText(shown);
    setToolTip(shown == full_ ? QString() : Texts::tooltip(full_));
}

LineLimitedLabel::LineLimitedLabel(const QString& text, int maxLines, const QFont& font, ColorSource color,
                                   QWidget* parent)
    : StyledLabel(text, font, std::move(color), parent), full_(text), maxLines_(maxLines) {
    setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void LineLimitedLabel::setFullText(const QString& text) {
    full_ = text;
    updateGeometry();
    refit();
}

void LineLimitedLabel::setMaxLines(int maxLines) {
    maxLines_ = maxLines;
    updateGeometry();
    refit();
}

int LineLimitedLabel::chrome() const { return 2 * (margin() + frameWidth()); }

int LineLimitedLabel::textHeight(const QString& text, int textWidth) const {
    if (text.isEmpty())
        return 0;
    return fontMetrics().boundingRect(QRect(0, 0, std::max(textWidth, 1), 1 << 20), Qt::TextWordWrap, text).height();
}

bool LineLimitedLabel::exceeds(int lines) const {
    const int textWidth = contentsRect().width() - 2 * margin();
    return lines > 0 && shortened(textWidth, lines) != shortened(textWidth, 0);
}

QString LineLimitedLabel::shortened(int textWidth, int maxLines) const {
    if (full_.isEmpty())
        return full_;
    // The layout breaks lines at line separators only; the text keeps its own breaks.
    QString laidOut = full_;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    struct Line {
        int start, length;
        bool overflows; // holds a word wider than the line, which no wrapping breaks
    };
    std::vector<Line> lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(textWidth, 1));
        lines.push_back({line.textStart(), line.textLength(), line.naturalTextWidth() > textWidth});
        if (maxLines > 0 && int(lines.size()) > maxLines)
            break;
    }
    layout.endLayout();
    const bool tooMany = maxLines > 0 && int(lines.size()) > maxLines;
    if (!tooMany && std::none_of(lines.begin(), lines.end(), [](const Line& line) { return line.overflows; }))
        return full_;
    QString shown;
    const std::size_t kept = tooMany ? std::size_t(maxLines) : lines.size();
    for (std::size_t at = 0; at < kept; ++at) {
        const Line& line = lines[at];
        if (tooMany && at + 1 == kept) {
            // The last line as far as it goes, then "…".
            const QString last = full_.mid(line.start).section(QLatin1Char('\n'), 0, 0).simplified();
            return shown + fontMetrics().elidedText(last + QChar(0x2026), Qt::ElideRight, textWidth);
        }
        if (!line.overflows) {
            shown += full_.mid(line.start, line.length);
            continue;
        }
        // A word too long for any line ends in "…" where the line does, and the text goes on
        // on the next line.
        shown += fontMetrics().elidedText(full_.mid(line.start, line.length).trimmed(), Qt::ElideRight, textWidth);
        if (at + 1 < kept)
            shown += QLatin1Char('\n');
    }
    return shown;
}

int LineLimitedLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    const int textWidth = width - margins.left() - margins.right() - chrome();
    return textHeight(shortened(textWidth), textWidth) + margins.top() + margins.bottom() + chrome();
}

QSize LineLimitedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    const int oneLine = Texts::lineWidth(fontMetrics(), full_) + margins.left() + margins.right() + chrome();
    // Like a wrapping label: not wider than a comfortable column.
    const int width = std::min(oneLine, fontMetrics().averageCharWidth() * 60);
    return {width, heightForWidth(width)};
}

QSize LineLimitedLabel::minimumSizeHint() const {
    const int width = std::min(sizeHint().width(), fontMetrics().averageCharWidth() * 12);
    return {width, fontMetrics().height() + chrome()};
}

void LineLimitedLabel::resizeEvent(QResizeEvent* event) {
    StyledLabel::resizeEvent(event);
    refit();
}

void LineLimitedLabel::refit() {
    const QString shown = shortened(contentsRect().width() - 2 * margin());
    if (shown != text())
        setText(shown);
    setToolTip(shown == full_ ? QString() : Texts::tooltip(full_));
}

namespace Texts {

namespace {
// The lines of one paragraph of a tooltip at most width wide: broken at spaces and after each "/"
// of a path, and anywhere in a word wider than a line.
QStringList tooltipLines(const QString& paragraph, const QFont& font, qreal width) {
    constexpr QChar breakHere(0x200B); // a zero-width space: a place to break, never shown
    QString breakable = paragraph;
    breakable.replace(QLatin1Char('/'), QStringLiteral("/") + breakHere);
    QTextLayout layout(breakable, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << breakable.mid(line.textStart(), line.textLength()).remove(breakHere);
    }
    layout.endLayout();
    return lines;
}
} // namespace

QString tooltip(const QString& plain) {
    // A tooltip of rich text left to wrap itself breaks a short name in two and cannot break a
    // long name without spaces at all, so the lines are broken here: about 70 characters wide,
    // and never wider than the screen.
    const QFont font = QToolTip::font();
    qreal width = QFontMetricsF(font).averageCharWidth() * 70;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() * 0.9);
    // A paragraph of its own for each of the text's lines, a line break for each wrap: what the
    // text says stays apart from where it wraps. No space between paragraphs, as between lines.
    QString html;
    for (const QString& paragraph : plain.split(QLatin1Char('\n'))) {
        QStringList lines;
        for (const QString& line : tooltipLines(paragraph, font, width))
            lines << line.toHtmlEscaped();
        html +=
            QStringLiteral("<p style='white-space:nowrap; margin:0'>%1</p>").arg(lines.join(QStringLiteral("<br>")));
    }
    return html;
}

int lineWidth(const QFontMetrics& metrics, const QString& text) {
    // The measure a word-wrapping label takes of its text, with room for any one line.
    constexpr int unlimited = 1 << 20;
    return metrics.boundingRect(QRect(0, 0, unlimited, unlimited), Qt::TextWordWrap, text).width();
}

QString withoutMnemonics(const QString& plain) {
    QString text = plain;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString oneLine(const QString& plain) {
    QString text = plain;
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return text;
}

QString unavailableInDemo() {
    return QCoreApplication::translate("Texts", "Not available while the demo data is shown");
}

QString demoTooltip(bool demo, const QString& otherwise) { return demo ? unavailableInDemo() : otherwise; }

QString count(std::int64_t number) { return QString::fromStdString(countText(number)); }

QString unknown() { return QStringLiteral("\u2013"); }

QString version(const std::string& stated) {
    return stated.empty() || stated == "?" ? unknown() : QString::fromStdString(stated);
}

QString lastUsed(Date date, Date now) { return QString::fromStdString(DateText::relative(std::min(date, now), now)); }

} // namespace Texts

} // namespace dovrane
