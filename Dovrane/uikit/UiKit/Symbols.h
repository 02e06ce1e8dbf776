#pragma once
// The symbols the interface names ("trash", "magnifyingglass", …), drawn the way the Linux
// desktop draws its own: each maps, in one table, to a freedesktop symbolic icon looked up in
// the desktop's icon theme with Adwaita behind it; the few that no theme has are SVGs of ours
// in the same style. Symbolic icons take the colour they are painted in.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace dovrane {

namespace Symbols {

// Makes Adwaita the theme behind the desktop's, and the theme itself where none is set.
void install();

QStringList allNames();
bool isKnown(const QString& symbol);
// The freedesktop icon name, or empty for a symbol of our own (or an unknown one).
QString themeIconName(const QString& symbol);
// The icon of the symbol, uncoloured; null for an unknown name.
QIcon icon(const QString& symbol);
// The symbol as a button's icon: drawn, whenever it is drawn, in the button text colour of the
// look of that moment (the disabled text colour while off), so it reads on the button in either
// look as its title does. Null for an unknown name.
QIcon buttonIcon(const QString& symbol);
// The symbol drawn square at pixels × pixels (device-independent) in one colour.
QPixmap pixmap(const QString& symbol, int pixels, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace Symbols

// One symbol centred in the widget at a given size, in a colour worked out at every paint.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    using ColorSource = std::function<QColor()>;
    SymbolView(QString symbol, int pixels, ColorSource color, QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    int pixels() const { return pixels_; }
    void setSymbol(const QString& symbol);
    QSize sizeHint() const override { return {pixels_, pixels_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    int pixels_;
    ColorSource color_;
};

} // namespace dovrane
