#pragma once
// The Fusion style with the changes our looks need: a check box frame that reads on the field
// behind it in the dark look as in the light one (Fusion darkens the window colour for it, which
// on a dark window leaves the frame almost as dark as the field), and disabled icons drawn in
// the colour of disabled text (Fusion greys them towards the window colour, which in the dark
// look makes a symbol all but vanish beside its still readable title). Alt alone puts the menu
// bar under the keyboard. Keyboard focus shows as one ring, two pixels wide in the accent,
// wherever Fusion marks it faintly or only after a key moved it: on buttons of every kind, on a
// focused field's frame, around the current row of a list or table and around the title of a
// check box or tab. A table sorted largest first shows its arrow pointing down. A scroll bar's
// handle stands out from its track.

#include <QProxyStyle>

namespace dovrane {

class ControlStyle final : public QProxyStyle {
    Q_OBJECT
public:
    ControlStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    // No icons on dialog buttons (a stock box would put a red ball on Cancel): the app's own
    // dialogs have none either.
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // The room between a push button's title (with its icon) and its frame, on either side.
    static constexpr int titlePadding = 10;
    // The room between a tool button's symbol and the title beside it.
    static constexpr int symbolGap = 6;

    // Halfway between the field's colour and its text: at least 3:1 against the field in
    // either look.
    static QColor checkBoxFrame(const QPalette& palette);
    // A scroll bar's track, halfway between the field and the window, and its handle, at least
    // 3:1 against the track in either look (more while held or under the pointer).
    static QColor scrollTrack(const QPalette& palette);
    static QColor scrollHandle(const QPalette& palette, bool active);
};

} // namespace dovrane
