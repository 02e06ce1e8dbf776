#pragma once
// Text labels for data and for styled interface text. Data (names, paths, reasons) is always
// plain text, never markup; a colour given as a source is worked out again whenever the
// appearance changes.

#include "UiKit/Fonts.h"

#include <DovraneKit/core/Date.h>

#include <QLabel>

#include <cstdint>
#include <functional>
#include <string>

namespace dovrane {

class StyledLabel : public QLabel {
    Q_OBJECT
public:
    using ColorSource = std::function<QColor()>;
    StyledLabel(const QString& text, const QFont& font, ColorSource color = {}, QWidget* parent = nullptr);
    void setColor(ColorSource color);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColor();
    ColorSource color_;
    bool applying_ = false;
};

// One line that shortens itself with "…" when its space is narrower than the text, and then
// carries the whole text as its tooltip. Its size hint asks for the whole text; it may be
// squeezed to a few characters.
class ElidedLabel final : public StyledLabel {
    Q_OBJECT
public:
    ElidedLabel(const QString& text, const QFont& font, ColorSource color = {}, QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refit();
    QString full_;
};

// Wrapping text of at most so many lines (0: no limit); longer text ends its last line in "…"
// and carries the whole text as its tooltip, as does a word too long for a line (an identifier,
// a path), which ends in "…" where the line does. Its height follows its width.
class LineLimitedLabel final : public StyledLabel {
    Q_OBJECT
public:
    LineLimitedLabel(const QString& text, int maxLines, const QFont& font, ColorSource color = {},
                     QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    void setMaxLines(int maxLines);
    // Whether the text needs more than `lines` lines at the label's present width.
    bool exceeds(int lines) const;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // What fits the lines (all of them for 0) at a width of the text area.
    QString shortened(int textWidth) const { return shortened(textWidth, maxLines_); }
    QString shortened(int textWidth, int maxLines) const;
    int textHeight(const QString& text, int textWidth) const;
    int chrome() const;
    void refit();
    QString full_;
    int maxLines_;
};

namespace Texts {
// Data shown as a tooltip: escaped, so no file or feed can bring in markup, and in lines of a
// readable width that the screen holds: a path breaks after a "/", a word longer than a line
// anywhere. A line that fits stays whole.
QString tooltip(const QString& plain);
// The width text takes on one line where a wrapping label lays it out: its advance and the
// overhang of a last letter that reaches past it (the "r" of a semibold face). The advance alone
// can fall a pixel short, and the label then breaks the line.
int lineWidth(const QFontMetrics& metrics, const QString& text);
// Data shown on a button, menu item or tab: "&" doubled, so it makes no mnemonic.
QString withoutMnemonics(const QString& plain);
// Data shown on one line (a table cell, a row's title): line and paragraph breaks and other
// control characters become spaces, so a file name cannot break the row.
QString oneLine(const QString& plain);
// The tooltip of an action that is off because the demo data is on show: why it is off.
QString unavailableInDemo();
// That tooltip while demo is true, else the action's own.
QString demoTooltip(bool demo, const QString& otherwise = {});
// A count as the window's language groups it ("20,000" / "20.000"), as counted texts ("%Ln
// items") and the library's sentences write theirs.
QString count(std::int64_t number);
// What a cell or line shows for a value nobody knows (a version the app does not state, a date
// never recorded): one en dash, the same everywhere.
QString unknown();
// An app's version as shown: the text it states, or unknown() where it states none (the library
// keeps "?" for that).
QString version(const std::string& stated);
// A last use relative to now ("3 weeks ago"); one ahead of now (a clock set back since) reads
// as now, never "in …".
QString lastUsed(Date date, Date now);
} // namespace Texts

} // namespace dovrane
