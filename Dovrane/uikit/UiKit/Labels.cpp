#include "UiKit/Labels.h"

#include "UiKit/Appearance.h"

#include <QResizeEvent>
#include <QTextDocument>

#include <algorithm>

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
    if (!color_) {
        setPalette(QPalette());
        return;
    }
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color_());
    p.setColor(QPalette::Text, color_());
    setPalette(p);
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

namespace Texts {

QString tooltip(const QString& plain) { return Qt::convertFromPlainText(plain, Qt::WhiteSpaceNormal); }

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

} // namespace Texts

} // namespace dovrane
