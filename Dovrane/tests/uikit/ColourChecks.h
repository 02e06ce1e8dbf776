#pragma once
// Colour checks of rendered widgets: the contrast of two colours, and whether a selected row is
// drawn in the selection's two colours only (its fill, its text colour and the blends between
// them that anti-aliased text leaves). A text or badge drawn in a colour of its own (the
// secondary grey, a safety green) shows as pixels off that line.

#include "UiKit/SemanticColors.h"

#include <QAbstractItemView>
#include <QColor>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>

namespace dovrane::testing {

// The contrast ratio of two opaque colours by their relative luminance, 1 to 21.
inline double contrastRatio(const QColor& one, const QColor& other) {
    return SemanticColors::contrastRatio(one, other);
}

// How far the colour lies from the straight line between from and to in RGB.
inline double distanceFromBlend(const QColor& colour, const QColor& from, const QColor& to) {
    const double d[3] = {double(to.red() - from.red()), double(to.green() - from.green()),
                         double(to.blue() - from.blue())};
    const double p[3] = {double(colour.red() - from.red()), double(colour.green() - from.green()),
                         double(colour.blue() - from.blue())};
    const double length = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    const double t = length > 0 ? std::clamp((p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / length, 0.0, 1.0) : 0.0;
    double sum = 0;
    for (int i = 0; i < 3; ++i)
        sum += (p[i] - t * d[i]) * (p[i] - t * d[i]);
    return std::sqrt(sum);
}

// The pixels of the area that are neither fill nor ink nor a blend of the two.
inline int strayPixels(const QImage& image, const QRect& area, const QColor& fill, const QColor& ink) {
    int stray = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (distanceFromBlend(image.pixelColor(x, y), fill, ink) > 40)
                ++stray;
    return stray;
}

// The selected row's cells of a view, rendered, skipping `skipLeft` pixels at the start of the
// first cell (an icon of its own colours).
inline int strayPixelsInRow(QAbstractItemView& view, int row, int skipLeft = 0) {
    const QImage image = view.viewport()->grab().toImage();
    const QPalette palette = view.palette();
    const QColor fill = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor ink = palette.color(QPalette::Active, QPalette::HighlightedText);
    int stray = 0;
    for (int column = 0; column < view.model()->columnCount(); ++column) {
        QRect cell = view.visualRect(view.model()->index(row, column)).intersected(view.viewport()->rect());
        if (column == 0)
            cell.setLeft(cell.left() + skipLeft);
        // The cell's outermost pixels may carry the style's frame of the current cell.
        stray += strayPixels(image, cell.adjusted(2, 2, -2, -2), fill, ink);
    }
    return stray;
}

} // namespace dovrane::testing
