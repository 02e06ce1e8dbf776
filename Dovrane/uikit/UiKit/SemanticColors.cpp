#include "UiKit/SemanticColors.h"

#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>

namespace dovrane::SemanticColors {

namespace {

struct Pair {
    QRgb light;
    QRgb dark;
};

// Labels and fills are translucent, so they read on any background of their look.
constexpr std::array<Pair, 17> table = {{
    {qRgba(0, 0, 0, 217), qRgba(255, 255, 255, 217)},     // label
    {qRgba(0, 0, 0, 128), qRgba(255, 255, 255, 140)},     // secondaryLabel
    {qRgba(0, 0, 0, 66), qRgba(255, 255, 255, 64)},       // tertiaryLabel
    {qRgba(0, 0, 0, 26), qRgba(255, 255, 255, 26)},       // quaternaryLabel
    {qRgba(116, 116, 128, 20), qRgba(118, 118, 128, 46)}, // quaternaryFill
    {qRgba(0, 0, 0, 26), qRgba(255, 255, 255, 26)},       // separator
    {qRgb(0xEC, 0xEC, 0xEC), qRgb(0x2A, 0x2A, 0x2A)},     // windowBackground
    {qRgb(0xF7, 0xF7, 0xF7), qRgb(0x35, 0x35, 0x35)},     // secondaryWindowBackground
    {qRgb(0x00, 0x7A, 0xFF), qRgb(0x0A, 0x84, 0xFF)},     // tint
    {qRgb(0xFF, 0x3B, 0x30), qRgb(0xFF, 0x45, 0x3A)},     // red
    {qRgb(0xFF, 0x95, 0x00), qRgb(0xFF, 0x9F, 0x0A)},     // orange
    {qRgb(0xFF, 0xCC, 0x00), qRgb(0xFF, 0xD6, 0x0A)},     // yellow
    {qRgb(0x28, 0xCD, 0x41), qRgb(0x32, 0xD7, 0x4B)},     // green
    {qRgb(0x00, 0x7A, 0xFF), qRgb(0x0A, 0x84, 0xFF)},     // blue
    {qRgb(0xAF, 0x52, 0xDE), qRgb(0xBF, 0x5A, 0xF2)},     // purple
    {qRgb(0xFF, 0x2D, 0x55), qRgb(0xFF, 0x37, 0x5F)},     // pink
    {qRgb(0x55, 0xBE, 0xF0), qRgb(0x5A, 0xC8, 0xF5)},     // cyan
}};

bool dark(Look look) { return look == Look::dark || look == Look::highContrastDark; }

} // namespace

QColor mixed(const QColor& from, const QColor& to, double part) {
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * part),
                            float(from.greenF() + (to.greenF() - from.greenF()) * part),
                            float(from.blueF() + (to.blueF() - from.blueF()) * part));
}

QColor over(const QColor& top, const QColor& bottom) {
    const qreal a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                            float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

double luminance(const QColor& color) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor& one, const QColor& other) {
    const double a = luminance(one);
    const double b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor withContrast(const QColor& color, const QColor& background, double ratio) {
    const QColor start = over(color, background);
    if (contrastRatio(start, background) >= ratio)
        return start;
    // Away from the background, towards whichever of black and white stands farther from it.
    const QColor end = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                                    : QColor(Qt::white);
    // The contrast grows along the way, so the least part that reaches the ratio is bisected,
    // each step as the screen shows it, in whole 8-bit channels.
    const auto shown = [&](double part) { return QColor(mixed(start, end, part).rgb()); };
    double low = 0, high = 1;
    for (int step = 0; step < 20; ++step) {
        const double middle = (low + high) / 2;
        (contrastRatio(shown(middle), background) >= ratio ? high : low) = middle;
    }
    return shown(high);
}

QColor readable(const QColor& color, Look look, double ratio) {
    const QColor window = of(SemanticColor::windowBackground, look);
    const QColor card = of(SemanticColor::secondaryWindowBackground, look);
    // Both backgrounds of a look are light, or both dark, so the second step keeps the first's.
    return withContrast(withContrast(color, window, ratio), card, ratio);
}

QColor of(SemanticColor color, Look look) {
    const Pair& pair = table[std::size_t(color)];
    return QColor::fromRgba(dark(look) ? pair.dark : pair.light);
}

QColor of(SemanticColor color) { return of(color, Appearance::shared().look()); }

QColor secondaryText() { return of(SemanticColor::secondaryLabel); }

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor tint(const QWidget& widget) { return widget.palette().color(QPalette::Active, QPalette::Highlight); }

QColor link(const QWidget& widget) { return widget.palette().color(QPalette::Active, QPalette::Link); }

QPalette palette(Look look) {
    const bool isDark = dark(look);
    const QColor window = of(SemanticColor::windowBackground, look);
    const QColor base = isDark ? QColor(0x1E, 0x1E, 0x1E) : QColor(Qt::white);
    const QColor text = over(of(SemanticColor::label, look), base);
    const QColor secondary = over(of(SemanticColor::secondaryLabel, look), base);
    const QColor tertiary = over(of(SemanticColor::tertiaryLabel, look), base);
    const QColor button = isDark ? QColor(0x3C, 0x3C, 0x3C) : QColor(0xFB, 0xFB, 0xFB);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, over(of(SemanticColor::label, look), window));
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, isDark ? QColor(0x26, 0x26, 0x26) : QColor(0xF4, 0xF5, 0xF5));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, tertiary);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, isDark ? QColor(Qt::white) : QColor(Qt::black));
    p.setColor(QPalette::Light, button.lighter(isDark ? 130 : 105));
    p.setColor(QPalette::Midlight, button.lighter(isDark ? 115 : 102));
    p.setColor(QPalette::Mid, over(of(SemanticColor::separator, look), window).darker(isDark ? 80 : 110));
    p.setColor(QPalette::Dark, isDark ? QColor(0x18, 0x18, 0x18) : QColor(0xA0, 0xA0, 0xA0));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0, isDark ? 160 : 90));
    p.setColor(QPalette::Highlight, of(SemanticColor::tint, look));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, readable(of(SemanticColor::tint, look), look, textContrast));
    p.setColor(QPalette::LinkVisited, of(SemanticColor::purple, look));
    p.setColor(QPalette::ToolTipBase, isDark ? QColor(0x3A, 0x3A, 0x3A) : QColor(0xFF, 0xFF, 0xF0));
    p.setColor(QPalette::ToolTipText, isDark ? QColor(0xEE, 0xEE, 0xEE) : QColor(0x1F, 0x1F, 0x1F));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, secondary);
    p.setColor(QPalette::Disabled, QPalette::Highlight, over(of(SemanticColor::quaternaryLabel, look), base));
    return p;
}

} // namespace dovrane::SemanticColors
