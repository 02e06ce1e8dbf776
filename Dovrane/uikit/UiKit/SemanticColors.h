#pragma once
// The named colours of the interface, one table with a light and a dark value each, and the
// light and dark palettes of the Fusion style built from them. Opacity variants ("the tint at
// 0.08") are computed from these with withOpacity.

#include "UiKit/Appearance.h"

#include <QColor>
#include <QPalette>

class QWidget;

namespace dovrane {

enum class SemanticColor {
    label,
    secondaryLabel,
    tertiaryLabel,
    quaternaryLabel,
    quaternaryFill,
    separator,
    windowBackground,
    secondaryWindowBackground,
    tint,
    red,
    orange,
    yellow,
    green,
    blue,
    purple,
    pink,
    cyan
};

namespace SemanticColors {

QColor of(SemanticColor color, Look look);
// In the look the application shows now; call it while painting, never keep the result.
QColor of(SemanticColor color);
// Text that stands back (details, sizes, dates): the secondary label colour of the look of the
// moment. Pass the function itself where a label takes a colour source, so it follows the look.
QColor secondaryText();
QColor withOpacity(QColor color, qreal opacity);

// Contrast as the accessibility guidelines measure it: text needs 4.5:1 against what it stands
// on, the parts of a graphic 3:1.
inline constexpr double textContrast = 4.5;
inline constexpr double graphicContrast = 3.0;
// The relative luminance of an opaque colour, 0 (black) to 1 (white); lay a translucent one over
// its background first (over).
double luminance(const QColor& color);
// The contrast ratio of two opaque colours, 1 to 21.
double contrastRatio(const QColor& one, const QColor& other);
// Part of the way (0 to 1) from one opaque colour to another.
QColor mixed(const QColor& from, const QColor& to, double part);
// A translucent colour as it shows laid over an opaque background.
QColor over(const QColor& top, const QColor& bottom);
// The colour moved the least way towards black (on a light background) or white (on a dark one)
// that reaches the ratio against the background; unchanged when it reaches it already. A
// translucent colour is laid over the background first.
QColor withContrast(const QColor& color, const QColor& background, double ratio);
// The same against both the window's background and the secondary one of the look (cards,
// panels), whichever asks more: what a text or a graphic stands on anywhere in the window.
QColor readable(const QColor& color, Look look, double ratio);
// The accent that tints this widget: its theme's tint when one is set on it or an ancestor
// (Themed), else the default tint.
QColor tint(const QWidget& widget);
// The colour of a link in this widget: its theme's accent text shade, readable as text.
QColor link(const QWidget& widget);
QPalette palette(Look look);

} // namespace SemanticColors

} // namespace dovrane
