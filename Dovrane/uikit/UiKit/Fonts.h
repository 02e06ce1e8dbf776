#pragma once
// The text styles of the interface in pixels (one point of the design is one pixel), in the
// desktop's own interface font, or DejaVu Sans where the platform names none (offscreen), so
// headless images come out the same everywhere.

#include <QFont>
#include <QString>

namespace dovrane {

enum class FontRole { largeTitle, title, title2, title3, headline, body, callout, caption };

namespace Fonts {

QString family();
QFont font(FontRole role);
// The role's size in another weight, such as a semibold title.
QFont font(FontRole role, QFont::Weight weight);
// The system font at a pixel size and weight; "rounded" designs use this family too.
QFont system(qreal pixels, QFont::Weight weight = QFont::Normal);
// The same font with digits of one width: unchanged when its own figures are already
// tabular, else its monospaced face at the same size and weight.
QFont monospacedDigits(const QFont& font);

} // namespace Fonts

} // namespace dovrane
