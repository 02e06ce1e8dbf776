#include "UiKit/Labels.h"

#include "UiKit/Appearance.h"

#include <QTextDocument>

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
