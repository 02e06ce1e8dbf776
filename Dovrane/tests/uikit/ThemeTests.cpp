#include "UiTestMain.h"

#include "Services/SettingKeys.h"
#include "Services/Settings.h"
#include "Theme/Theme.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <QApplication>
#include <QDBusVariant>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace dovrane;

namespace {

QString startingTheme(const char* variable, std::optional<QString> stored) {
    // APP_ACCENT for the life of one store's creation.
    testing::ScopedEnv accent("APP_ACCENT", variable ? std::optional<std::string>(variable) : std::nullopt);
    MemorySettings settings;
    if (stored)
        SettingKeys::appearanceAccent.set(settings, *stored);
    return ThemeStore(settings).current().id + "/" + ThemeStore(settings).themeID();
}

} // namespace

class ThemeTests : public QObject {
    Q_OBJECT
private slots:
    void startRuleTakesVariableThenSettingThenDefault() {
        QCOMPARE(startingTheme(nullptr, std::nullopt), QStringLiteral("seagreen/seagreen"));
        QCOMPARE(startingTheme("violet", QStringLiteral("blue")), QStringLiteral("violet/violet"));
        QCOMPARE(startingTheme(nullptr, QStringLiteral("blue")), QStringLiteral("blue/blue"));
        // Unknown or empty ids show the system theme, which on Linux is always multicolour.
        QCOMPARE(startingTheme("", QStringLiteral("blue")), QStringLiteral("system/"));
        QCOMPARE(startingTheme("plaid", std::nullopt), QStringLiteral("system/plaid"));
        QCOMPARE(startingTheme(nullptr, QStringLiteral("plaid")), QStringLiteral("system/plaid"));

        MemorySettings wrongType;
        wrongType.setInteger("appearance.accent", 3);
        QCOMPARE(ThemeStore(wrongType).themeID(), QStringLiteral("seagreen"));
    }

    void systemThemeTintsWithSeaGreenWhileMulticolour() {
        MemorySettings settings;
        SettingKeys::appearanceAccent.set(settings, "system");
        ThemeStore store(settings);
        QVERIFY(store.macIsMulticolor());
        const Theme theme = store.current();
        QCOMPARE(theme.name, QStringLiteral("System"));
        QCOMPARE(theme.tint(), std::optional(QColor(0x2E, 0x8B, 0x72)));
        // The table's own system row has no shades: no tint, the default accent shows.
        QVERIFY(!Theme::all().front().tint());
        QCOMPARE(Theme::all().front().accent(), SemanticColors::of(SemanticColor::tint));
        QCOMPARE(int(Theme::all().size()), 12);
    }

    void writingTheChoiceStoresAlwaysAndNotifiesOnChange() {
        MemorySettings settings;
        ThemeStore store(settings);
        QSignalSpy spy(&store, &ThemeStore::themeIDChanged);
        store.setThemeID("seagreen");
        QCOMPARE(spy.count(), 0);
        QCOMPARE(SettingKeys::appearanceAccent.stored(settings), std::optional<QString>("seagreen"));
        SettingKeys::appearanceAccent.remove(settings);
        store.setThemeID("seagreen");
        QCOMPARE(SettingKeys::appearanceAccent.stored(settings), std::optional<QString>("seagreen"));
        store.setThemeID("mint");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(store.current().darkText, true);
    }

    void coloursResolveInEveryLook() {
        const Color both(0x111111, 0x222222, 0x333333, 0x444444);
        QCOMPARE(both.resolved(Look::light), QColor(0x11, 0x11, 0x11));
        QCOMPARE(both.resolved(Look::dark), QColor(0x22, 0x22, 0x22));
        QCOMPARE(both.resolved(Look::highContrastLight), QColor(0x33, 0x33, 0x33));
        QCOMPARE(both.resolved(Look::highContrastDark), QColor(0x44, 0x44, 0x44));
        const Color plain(0x111111, 0x222222);
        QCOMPARE(plain.resolved(Look::highContrastLight), QColor(0x11, 0x11, 0x11));
        QCOMPARE(plain.resolved(Look::highContrastDark), QColor(0x22, 0x22, 0x22));

        const auto blue =
            std::find_if(Theme::all().begin(), Theme::all().end(), [](const Theme& t) { return t.id == "blue"; });
        QCOMPARE(blue->accentText().resolved(Look::light), QColor(0x00, 0x64, 0xD2));
        QCOMPARE(blue->accentText().resolved(Look::dark), QColor(0x7C, 0xC0, 0xFF));
        QCOMPARE(blue->accentText().resolved(Look::highContrastLight), QColor(0x00, 0x64, 0xD2));
    }

    void portalSettingsDriveTheLookUnlessForced() {
        Appearance& appearance = Appearance::shared();
        QCOMPARE(appearance.look(), Look::light); // no session bus in tests
        QSignalSpy spy(&appearance, &Appearance::changed);
        const QString space = "org.freedesktop.appearance";
        // Read answers a variant inside a variant; the change signal one variant.
        appearance.takePortalSetting(space, "color-scheme",
                                     QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(1u)))));
        QCOMPARE(appearance.look(), Look::dark);
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 SemanticColors::of(SemanticColor::windowBackground, Look::dark));
        appearance.takePortalSetting(space, "contrast", QVariant::fromValue(QDBusVariant(1u)));
        QCOMPARE(appearance.look(), Look::highContrastDark);
        appearance.takePortalSetting(space, "contrast", QVariant::fromValue(QDBusVariant(1u)));
        appearance.takePortalSetting("org.other", "color-scheme", 2u);
        appearance.takePortalSetting(space, "color-scheme", QStringLiteral("dark"));
        QCOMPARE(spy.count(), 2);

        appearance.force(Look::light);
        appearance.takePortalSetting(space, "color-scheme", 2u);
        QCOMPARE(appearance.look(), Look::light);
        appearance.force(std::nullopt);
        QCOMPARE(appearance.look(), Look::highContrastLight); // the desktop's again: light, high contrast
        appearance.takePortalSetting(space, "contrast", 0u);
        QCOMPARE(appearance.look(), Look::light);
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 SemanticColors::of(SemanticColor::windowBackground, Look::light));
    }

    void tintColouredLabelsFollowTheChoice() {
        MemorySettings settings;
        ThemeStore store(settings);
        QWidget window;
        auto* label = new StyledLabel(
            QStringLiteral("On"), QFont(), [&window] { return SemanticColors::tint(window); }, &window);
        themed(&window, store);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0x2E, 0x8B, 0x72));
        store.setThemeID("violet");
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0x7B, 0x5C, 0xFF));
    }

    void windowsOfTheirOwnTakeTheAccentThroughTheApplication() {
        MemorySettings settings;
        ThemeStore store(settings);
        const auto restore = qScopeGuard([] {
            Appearance::shared().force(std::nullopt);
            QApplication::setPalette(SemanticColors::palette(Appearance::shared().look()));
        });
        themeApplication(store);
        QMenu menu; // a popup: no themed window passes its palette on to it
        const auto highlight = [&menu] { return menu.palette().color(QPalette::Active, QPalette::Highlight); };
        QCOMPARE(highlight(), QColor(0x2E, 0x8B, 0x72));
        store.setThemeID("teal");
        QCoreApplication::processEvents(); // Qt hands a new application palette on to windows later
        QCOMPARE(highlight(), QColor(0x06, 0xB6, 0xD4));
        QCOMPARE(menu.palette().color(QPalette::Active, QPalette::HighlightedText), QColor(0x16, 0x16, 0x1C));
        // A new look brings a new palette; the accent is laid over it again.
        Appearance::shared().force(Look::dark);
        QCoreApplication::processEvents();
        QCOMPARE(highlight(), QColor(0x06, 0xB6, 0xD4));
        QCOMPARE(menu.palette().color(QPalette::Window),
                 SemanticColors::of(SemanticColor::windowBackground, Look::dark));
    }

    void themedWidgetsFollowTheChoice() {
        MemorySettings settings;
        ThemeStore store(settings);
        QWidget window;
        QWidget child(&window);
        themed(&window, store);
        QCOMPARE(SemanticColors::tint(child), QColor(0x2E, 0x8B, 0x72));
        store.setThemeID("yellow");
        QCOMPARE(SemanticColors::tint(child), QColor(0xF5, 0xB8, 0x00));
        QCOMPARE(child.palette().color(QPalette::Active, QPalette::HighlightedText), QColor(0x16, 0x16, 0x1C));
    }

    // The figures the contrast helpers give for known pairs, and the least move to a ratio.
    void contrastIsMeasuredByRelativeLuminance() {
        using namespace SemanticColors;
        QCOMPARE(luminance(Qt::white), 1.0);
        QCOMPARE(luminance(Qt::black), 0.0);
        QCOMPARE(contrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(contrastRatio(Qt::white, Qt::black), 21.0);
        // The faint ring sector of before: Sea Green's developer colour at 0.12 on the dark window.
        const double faint = contrastRatio(QColor(0x25, 0x38, 0x33), QColor(0x2A, 0x2A, 0x2A));
        QVERIFY2(faint > 1.1 && faint < 1.3, qPrintable(QString::number(faint)));
        QVERIFY(std::abs(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) - 4.54) < 0.01);

        const QColor dark(0x2A, 0x2A, 0x2A);
        const QColor raised = withContrast(QColor(0x25, 0x38, 0x33), dark, graphicContrast);
        QVERIFY(contrastRatio(raised, dark) >= graphicContrast);
        QVERIFY2(contrastRatio(raised, dark) < graphicContrast + 0.05, "moved no farther than needed");
        QVERIFY(raised.green() > raised.red()); // still a green
        const QColor lowered = withContrast(QColor(0xF5, 0xB8, 0x00), QColor(0xEC, 0xEC, 0xEC), textContrast);
        QVERIFY(contrastRatio(lowered, QColor(0xEC, 0xEC, 0xEC)) >= textContrast);
        QVERIFY(lowered.red() < 0xF5);
        // What reaches the ratio already stays; a translucent colour is laid over the background.
        QCOMPARE(withContrast(Qt::white, dark, textContrast), QColor(Qt::white));
        QCOMPARE(withContrast(QColor(255, 255, 255, 0), dark, 1.0), dark);
        for (Look look : {Look::light, Look::dark}) {
            const QColor text = readable(QColor(0x0A, 0x84, 0xFF), look, textContrast);
            for (SemanticColor background : {SemanticColor::windowBackground, SemanticColor::secondaryWindowBackground})
                QVERIFY(contrastRatio(text, of(background, look)) >= textContrast);
        }
    }

    // Links ("More", "Release notes") read as text on the window and on a card, in both looks and
    // with every accent.
    void linksReachTheTextContrastWithEveryAccentInBothLooks() {
        MemorySettings settings;
        ThemeStore store(settings);
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        QWidget window;
        themed(&window, store);
        QStringList faults;
        for (Look look : {Look::light, Look::dark, Look::highContrastLight, Look::highContrastDark}) {
            Appearance::shared().force(look);
            const QPalette plain = SemanticColors::palette(look);
            for (const Theme& theme : Theme::all()) {
                store.setThemeID(theme.id);
                for (SemanticColor background :
                     {SemanticColor::windowBackground, SemanticColor::secondaryWindowBackground}) {
                    const QColor behind = SemanticColors::of(background, look);
                    for (const auto& [whose, link] : {std::pair{theme.id, SemanticColors::link(window)},
                                                      std::pair{QStringLiteral("plain"), plain.color(QPalette::Link)}})
                        if (const double ratio = SemanticColors::contrastRatio(link, behind);
                            ratio < SemanticColors::textContrast)
                            faults << QStringLiteral("%1 in look %2 on %3: %4:1")
                                          .arg(whose)
                                          .arg(int(look))
                                          .arg(behind.name())
                                          .arg(ratio, 0, 'f', 2);
                }
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        // The accent's own text shade where it reads: Sea Green's deep shade in the light look.
        Appearance::shared().force(Look::light);
        store.setThemeID("seagreen");
        QCOMPARE(SemanticColors::link(window), QColor(0x1F, 0x6B, 0x57));
        Appearance::shared().force(Look::dark);
        QCOMPARE(SemanticColors::link(window), QColor(0x7F, 0xD1, 0xB9));
    }
};

DOVRANE_UI_TEST_MAIN(ThemeTests)
#include "ThemeTests.moc"
