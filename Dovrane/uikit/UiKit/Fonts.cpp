#include "UiKit/Fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>

namespace dovrane::Fonts {

QString family() {
    const QString platform = QGuiApplication::platformName();
    // These platforms have no desktop and so no interface font of their own.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return QStringLiteral("DejaVu Sans");
    return QGuiApplication::font().family();
}

QFont system(qreal pixels, QFont::Weight weight) {
    QFont font(family());
    font.setPixelSize(qMax(1, qRound(pixels)));
    font.setWeight(weight);
    return font;
}

QFont font(FontRole role) {
    switch (role) {
    case FontRole::largeTitle:
        return system(26);
    case FontRole::title:
        return system(22);
    case FontRole::title2:
        return system(17);
    case FontRole::title3:
        return system(15);
    case FontRole::headline:
        return system(13, QFont::DemiBold);
    case FontRole::body:
        return system(13);
    case FontRole::callout:
        return system(12);
    case FontRole::caption:
        return system(10);
    }
    return system(13);
}

QFont font(FontRole role, QFont::Weight weight) {
    QFont weighted = font(role);
    weighted.setWeight(weight);
    return weighted;
}

QFont monospacedDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    bool tabular = true;
    for (char digit = '1'; digit <= '9' && tabular; ++digit)
        tabular = qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero);
    if (tabular)
        return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize());
    fixed.setWeight(font.weight());
    return fixed;
}

} // namespace dovrane::Fonts
