#pragma once
// A colour that follows the appearance: a light and a dark shade, and optional shades for the
// two high-contrast looks, each 0xRRGGBB, opaque sRGB. It is resolved whenever it is painted,
// never kept across a change of look.

#include "UiKit/Appearance.h"

#include <QColor>

#include <cstdint>
#include <optional>

namespace dovrane {

class Color {
public:
    Color(std::uint32_t light, std::uint32_t dark, std::optional<std::uint32_t> highContrastLight = std::nullopt,
          std::optional<std::uint32_t> highContrastDark = std::nullopt)
        : light_(light), dark_(dark), highContrastLight_(highContrastLight), highContrastDark_(highContrastDark) {}

    // A colour that is the same in every look.
    static Color fixed(std::uint32_t rgb) { return Color(rgb, rgb); }

    // The dark shade in the dark look; a missing high-contrast shade falls back to the light
    // or the dark one; the light shade otherwise.
    QColor resolved(Look look) const;
    // In the look the application shows now.
    QColor resolved() const { return resolved(Appearance::shared().look()); }

    bool operator==(const Color&) const = default;

private:
    std::uint32_t light_;
    std::uint32_t dark_;
    std::optional<std::uint32_t> highContrastLight_;
    std::optional<std::uint32_t> highContrastDark_;
};

// 0xRRGGBB as an opaque colour.
QColor rgbColor(std::uint32_t rgb);

} // namespace dovrane
