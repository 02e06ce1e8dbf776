#include "Theme/Theme.h"

#include "Services/SettingKeys.h"
#include "UiKit/SemanticColors.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace dovrane {

namespace {

constexpr Theme::Shades seaGreen{0x7FD1B9, 0x2E8B72, 0x1F6B57};

Settings*& sharedSettings() {
    static Settings* settings = nullptr;
    return settings;
}

} // namespace

const std::vector<Theme>& Theme::all() {
    static const std::vector<Theme> themes = {
        {"system", QT_TRANSLATE_NOOP("Theme", "System"), std::nullopt, false},
        {"blue", QT_TRANSLATE_NOOP("Theme", "Blue"), Shades{0x7CC0FF, 0x0A84FF, 0x0064D2}, false},
        {"indigo", QT_TRANSLATE_NOOP("Theme", "Indigo"), Shades{0xA5ADFF, 0x5E6AD2, 0x4650B8}, false},
        {"violet", QT_TRANSLATE_NOOP("Theme", "Violet"), Shades{0xB9A6FF, 0x7B5CFF, 0x6342E6}, false},
        {"pink", QT_TRANSLATE_NOOP("Theme", "Pink"), Shades{0xFF9CCB, 0xE84A93, 0xC0306F}, false},
        {"red", QT_TRANSLATE_NOOP("Theme", "Red"), Shades{0xFF8A9A, 0xE11D48, 0xBE123C}, false},
        {"orange", QT_TRANSLATE_NOOP("Theme", "Orange"), Shades{0xFFB87A, 0xF97316, 0xC2410C}, false},
        {"yellow", QT_TRANSLATE_NOOP("Theme", "Yellow"), Shades{0xFFE17A, 0xF5B800, 0x946800}, true},
        {"seagreen", QT_TRANSLATE_NOOP("Theme", "Sea Green"), seaGreen, false},
        {"mint", QT_TRANSLATE_NOOP("Theme", "Mint"), Shades{0x8EEBC4, 0x2BC48A, 0x0F7A55}, true},
        {"teal", QT_TRANSLATE_NOOP("Theme", "Teal"), Shades{0x8BE9F5, 0x06B6D4, 0x0E7490}, true},
        {"graphite", QT_TRANSLATE_NOOP("Theme", "Graphite"), Shades{0xC7C7CC, 0x7C7C84, 0x55555C}, false},
    };
    return themes;
}

QString Theme::title() const { return QCoreApplication::translate("Theme", name.toUtf8().constData()); }

std::optional<QColor> Theme::tint() const {
    if (!shades)
        return std::nullopt;
    return rgbColor(shades->base);
}

QColor Theme::accent() const { return shades ? rgbColor(shades->base) : SemanticColors::of(SemanticColor::tint); }

Color Theme::accentText() const {
    if (!shades) {
        const QRgb light = SemanticColors::of(SemanticColor::tint, Look::light).rgb() & 0xFFFFFF;
        const QRgb dark = SemanticColors::of(SemanticColor::tint, Look::dark).rgb() & 0xFFFFFF;
        return Color(light, dark);
    }
    return Color(shades->deep, shades->light);
}

ThemeStore::ThemeStore(Settings& settings, QObject* parent) : QObject(parent), settings_(settings) {
    if (const char* forced = std::getenv("APP_ACCENT"))
        themeID_ = QString::fromUtf8(forced);
    else
        themeID_ = SettingKeys::appearanceAccent.get(settings_);
}

ThemeStore& ThemeStore::shared() {
    static ThemeStore* store = [] {
        static MemorySettings fallback;
        Settings* settings = sharedSettings();
        return new ThemeStore(settings ? *settings : fallback);
    }();
    return *store;
}

void ThemeStore::useSettings(Settings& settings) { sharedSettings() = &settings; }

void ThemeStore::setThemeID(const QString& id) {
    const bool changed = id != themeID_;
    themeID_ = id;
    SettingKeys::appearanceAccent.set(settings_, id);
    if (changed)
        emit themeIDChanged(id);
}

Theme ThemeStore::current() const {
    const auto& themes = Theme::all();
    auto found = std::find_if(themes.begin(), themes.end(), [&](const Theme& theme) { return theme.id == themeID_; });
    Theme theme = found != themes.end() ? *found : themes.front();
    if (theme.id == QLatin1String("system") && macIsMulticolor_)
        theme = Theme{"system", QT_TRANSLATE_NOOP("Theme", "System"), seaGreen, false};
    return theme;
}

namespace {

// The palette with the theme's accent as its highlight, the text on the accent readable on it
// (near-black on a light accent, white on the others), and links in the accent's text shade,
// which reads as text on the window and on a card.
QPalette accented(QPalette palette, const Theme& theme, const QColor& fallback) {
    const QColor tint = theme.tint().value_or(fallback);
    const QColor onTint = theme.darkText ? QColor(0x16, 0x16, 0x1C) : QColor(Qt::white);
    const Look look = Appearance::shared().look();
    const QColor link = SemanticColors::readable(theme.shades ? theme.accentText().resolved(look) : tint, look,
                                                 SemanticColors::textContrast);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, tint);
        palette.setColor(group, QPalette::HighlightedText, onTint);
        palette.setColor(group, QPalette::Link, link);
    }
    return palette;
}

template <typename Apply> void followTheme(QObject* context, ThemeStore& store, Apply apply) {
    apply();
    QObject::connect(&store, &ThemeStore::themeIDChanged, context, apply);
    QObject::connect(&store, &ThemeStore::macIsMulticolorChanged, context, apply);
    QObject::connect(&Appearance::shared(), &Appearance::changed, context, apply);
}

} // namespace

void themed(QWidget* widget, ThemeStore& store) {
    QPointer<QWidget> target(widget);
    followTheme(widget, store, [target, &store] {
        if (!target)
            return;
        const QColor fallback = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
        target->setPalette(accented(target->palette(), store.current(), fallback));
    });
}

void themeApplication(ThemeStore& store) {
    followTheme(&store, store, [&store] {
        // The look's own highlight stands for the system accent when the theme has none.
        const QColor fallback = SemanticColors::of(SemanticColor::tint);
        QApplication::setPalette(accented(QApplication::palette(), store.current(), fallback));
    });
}

} // namespace dovrane
