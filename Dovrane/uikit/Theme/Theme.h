#pragma once
// The twelve accent themes, the store of the user's choice, and the rule that turns the choice
// into the theme that tints the windows.

#include "Theme/Color.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QWidget;

namespace dovrane {

class Settings;

struct Theme {
    // Three shades of one hue, 0xRRGGBB.
    struct Shades {
        std::uint32_t light; // the accent text colour in the dark look
        std::uint32_t base;  // the accent itself
        std::uint32_t deep;  // the accent text colour in the light look
        bool operator==(const Shades&) const = default;
    };

    QString id;
    QString name;
    std::optional<Shades> shades; // none: follows the system accent colour
    bool darkText = false;        // a mark drawn on the base colour is dark, not white

    static const std::vector<Theme>& all();

    std::optional<QColor> tint() const;
    // The system accent has no Linux setting Qt 6.4 can read; the default tint stands for it.
    QColor accent() const;
    Color accentText() const;

    bool operator==(const Theme&) const = default;
};

// The user's accent choice. Main thread only.
class ThemeStore final : public QObject {
    Q_OBJECT
public:
    // Starts from APP_ACCENT when set (even empty), else "appearance.accent", else "seagreen".
    explicit ThemeStore(Settings& settings, QObject* parent = nullptr);

    // The process's store, created on first use over the settings given to useSettings (an
    // in-memory store when none was given).
    static ThemeStore& shared();
    // The user's settings for the shared store; call before its first use.
    static void useSettings(Settings& settings);

    const QString& themeID() const { return themeID_; }
    // Writes "appearance.accent" every time, also when unchanged; notifies only on a change.
    void setThemeID(const QString& id);
    // True when the system accent is multicolour. Linux offers no accent setting, so always.
    bool macIsMulticolor() const { return macIsMulticolor_; }

    // The theme to show: the row of themeID, else "system"; a multicolour "system" takes the
    // shades of Sea Green.
    Theme current() const;

signals:
    void themeIDChanged(const QString& id);
    void macIsMulticolorChanged(bool multicolor);

private:
    Settings& settings_;
    QString themeID_;
    bool macIsMulticolor_ = true;
};

// Tints a window's content with the store's current theme, and again whenever the theme or the
// appearance changes.
void themed(QWidget* widget, ThemeStore& store = ThemeStore::shared());
// The same for the application's palette, so that windows of their own that no themed window
// passes its palette to (menus, message boxes) show the accent too.
void themeApplication(ThemeStore& store = ThemeStore::shared());

} // namespace dovrane
