#include "Theme/Color.h"

namespace dovrane {

QColor rgbColor(std::uint32_t rgb) { return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QColor Color::resolved(Look look) const {
    switch (look) {
    case Look::dark:
        return rgbColor(dark_);
    case Look::highContrastLight:
        return rgbColor(highContrastLight_.value_or(light_));
    case Look::highContrastDark:
        return rgbColor(highContrastDark_.value_or(dark_));
    case Look::light:
        break;
    }
    return rgbColor(light_);
}

} // namespace dovrane
