// The appearance tab: which swatch is selected and what name shows for a stored id, the mark on
// a selected swatch, and a choice stored and shown in the preview at once.

#include "ChromeFixture.h"
#include "UiTestMain.h"

#include "AppearanceSettings/AppearanceSettings.h"
#include "Services/SettingKeys.h"
#include "Services/Translations.h"
#include "Theme/Theme.h"
#include "UiKit/FocusRing.h"

#include <QAccessible>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QStringList selectedNames(const AppearanceSettings& view) {
    QStringList names;
    for (const AccentSwatch* swatch : view.swatches())
        if (swatch->selected())
            names << swatch->theme().name;
    return names;
}

AccentSwatch* swatchNamed(const AppearanceSettings& view, const QString& name) {
    for (AccentSwatch* swatch : view.swatches())
        if (swatch->theme().name == name)
            return swatch;
    return nullptr;
}

// The middle of the preview's selected sidebar row, where the accent fills it.
QColor selectedRowFill(AccentPreview& preview) { return preview.grab().toImage().pixelColor(100, 28); }

} // namespace

class AppearanceTests : public QObject {
    Q_OBJECT

    std::shared_ptr<MemorySettings> settings;

    std::unique_ptr<ThemeStore> storeWith(const std::optional<QString>& stored) {
        settings = std::make_shared<MemorySettings>();
        if (stored)
            SettingKeys::appearanceAccent.set(*settings, *stored);
        return std::make_unique<ThemeStore>(*settings);
    }

private slots:
    void theStoredThemeIsSelectedAndNamed_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("name");
        QTest::newRow("sea green") << "seagreen" << QStringList{"Sea Green"} << "Sea Green";
        QTest::newRow("system") << "system" << QStringList{"System"} << "System";
        QTest::newRow("unknown") << "lavender" << QStringList{} << "System";
    }
    void theStoredThemeIsSelectedAndNamed() {
        QFETCH(QString, stored);
        QFETCH(QStringList, selected);
        QFETCH(QString, name);
        auto store = storeWith(stored);
        AppearanceSettings view(*store);
        QCOMPARE(int(view.swatches().size()), 12);
        QCOMPARE(view.swatches().front()->theme().id, QString("system"));
        QCOMPARE(selectedNames(view), selected);
        QCOMPARE(view.themeName()->text(), name);
    }

    void aSelectedSwatchCarriesADarkMarkWhereItsThemeSaysSo() {
        auto store = storeWith(std::nullopt);
        AppearanceSettings view(*store);
        QStringList dark;
        for (AccentSwatch* swatch : view.swatches()) {
            swatch->setSelected(true);
            const QColor centre = swatch->grab().toImage().pixelColor(8, 8);
            if (centre == rgbColor(0x16161C))
                dark << swatch->theme().name;
            else
                QCOMPARE(centre, QColor(Qt::white));
        }
        QCOMPARE(dark, QStringList({"Yellow", "Mint", "Teal"}));
    }

    void choosingStoresTheIdAndRecoloursThePreview() {
        auto store = storeWith(std::nullopt);
        AppearanceSettings view(*store);
        view.resize(480, 220);
        view.show();
        const QColor before = selectedRowFill(*view.preview());
        QCOMPARE(before, store->current().accent());

        AccentSwatch* yellow = swatchNamed(view, "Yellow");
        QTest::mouseClick(yellow, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(SettingKeys::appearanceAccent.stored(*settings), std::optional<QString>("yellow"));
        QCOMPARE(selectedNames(view), QStringList{"Yellow"});
        QCOMPARE(view.themeName()->text(), QString("Yellow"));
        QCOMPARE(selectedRowFill(*view.preview()), rgbColor(0xF5B800));

        // Choosing it again keeps it chosen and stores it again.
        SettingKeys::appearanceAccent.remove(*settings);
        yellow->click();
        QCOMPARE(SettingKeys::appearanceAccent.stored(*settings), std::optional<QString>("yellow"));
        QVERIFY(yellow->selected());
        // A click outside the circle misses it.
        QTest::mouseClick(swatchNamed(view, "Teal"), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(SettingKeys::appearanceAccent.stored(*settings), std::optional<QString>("yellow"));
    }

    void accessibleNames() {
        auto store = storeWith("mint");
        AppearanceSettings view(*store);
        view.show();
        QCOMPARE(view.preview()->accessibleName(), QString("Preview of the accent color"));
        AccentSwatch* mint = swatchNamed(view, "Mint");
        QCOMPARE(mint->accessibleName(), QString("Mint"));
        QVERIFY(QAccessible::queryAccessibleInterface(mint)->state().checked);
        QVERIFY(!QAccessible::queryAccessibleInterface(swatchNamed(view, "Blue"))->state().checked);
        // A choice among several, the chosen one selected.
        QCOMPARE(QAccessible::queryAccessibleInterface(mint)->role(), QAccessible::RadioButton);
        QVERIFY(QAccessible::queryAccessibleInterface(mint)->state().selected);
    }

    // Tab reaches the swatches; the focused one wears a ring in the accent with a gap inside,
    // so it shows on the accent's own swatch too.
    void aFocusedSwatchShowsTheRing() {
        auto store = storeWith("mint");
        AppearanceSettings view(*store);
        view.show();
        QApplication::setActiveWindow(&view);
        AccentSwatch* mint = swatchNamed(view, "Mint");
        const auto row = [mint](int y) { return mint->grab().toImage().pixelColor(AccentSwatch::diameter / 2, y); };
        const auto distance = [](const QColor& a, const QColor& b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
        };
        QVERIFY(distance(row(3), row(1)) < 24); // unfocused: one fill to the rim
        mint->setFocus(Qt::TabFocusReason);
        QVERIFY(mint->hasFocus());
        QVERIFY(distance(row(1), FocusRing::color()) < 24);
        QVERIFY(distance(row(3), row(1)) > 96); // the gap
    }

    void rendersInLightAndDark() {
        auto store = storeWith("violet");
        for (Look look : {Look::light, Look::dark}) {
            AppearanceSettings view(*store);
            view.resize(480, 220);
            const QImage image = render(view, look);
            QVERIFY(!image.isNull());
            QCOMPARE(view.preview()->height(), AccentPreview::previewHeight);
            QVERIFY(view.themeName()->geometry().top() >= view.swatches().front()->geometry().bottom());
        }
    }

    void accentNamesShowInTheWindowsLanguage() {
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        auto store = storeWith(QString("seagreen"));
        AppearanceSettings view(*store);
        QCOMPARE(view.themeName()->text(), QString("Meergr\u00fcn"));
        AccentSwatch* teal = swatchNamed(view, "Teal");
        QCOMPARE(teal->accessibleName(), QString("Petrol"));
        QVERIFY(teal->toolTip().contains(QString("Petrol")));
        // The stored choice keeps its id whatever the language.
        teal->click();
        QCOMPARE(SettingKeys::appearanceAccent.stored(*settings), std::optional<QString>("teal"));
        QCOMPARE(view.themeName()->text(), QString("Petrol"));
    }
};

DOVRANE_UI_TEST_MAIN(AppearanceTests)
#include "AppearanceTests.moc"
