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
// The accent that tints this widget: its theme's tint when one is set on it or an ancestor
// (Themed), else the default tint.
QColor tint(const QWidget& widget);
QPalette palette(Look look);

} // namespace SemanticColors

} // namespace dovrane
