#pragma once
// Text labels for data and for styled interface text. Data (names, paths, reasons) is always
// plain text, never markup; a colour given as a source is worked out again whenever the
// appearance changes.

#include "UiKit/Fonts.h"

#include <QLabel>

#include <functional>

namespace dovrane {

class StyledLabel : public QLabel {
    Q_OBJECT
public:
    using ColorSource = std::function<QColor()>;
    StyledLabel(const QString& text, const QFont& font, ColorSource color = {}, QWidget* parent = nullptr);
    void setColor(ColorSource color);

private:
    void applyColor();
    ColorSource color_;
};

namespace Texts {
// Data shown as a tooltip: escaped, so no file or feed can bring in markup.
QString tooltip(const QString& plain);
// Data shown on a button, menu item or tab: "&" doubled, so it makes no mnemonic.
QString withoutMnemonics(const QString& plain);
// Data shown on one line (a table cell, a row's title): line and paragraph breaks and other
// control characters become spaces, so a file name cannot break the row.
QString oneLine(const QString& plain);
} // namespace Texts

} // namespace dovrane
