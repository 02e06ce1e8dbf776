#include "ViewTour.h"

#include "App/Menus.h"
#include "CleanedPage/CleanedPage.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/AppPages.h"
#include "ContentView/DiskPages.h"
#include "ContentView/Pages.h"
#include "ContentView/SheetHost.h"
#include "Launch/SeedEntry.h"
#include "MenuBarView/MenuBarView.h"
#include "QtWaits.h"
#include "SettingsView/SettingsView.h"
#include "Updater/Updater.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

namespace dovrane::testing {

namespace {

AppModel& seeded(WindowFixture& fixture) {
    ScopedEnv seed("APP_SEED", "1");
    AppModel& model = fixture.makeModel();
    SeedData::insertIfRequested(model);
    return model;
}

} // namespace

void activate(QWidget& window) {
    window.show();
    window.raise();
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();
}

RealPages::RealPages(ContentView& window, AppModel& model) {
    SheetHost::setPaletteMaker(
        [](AppModel& hosted, QWidget* parent) -> QDialog* { return new CommandPalette(hosted, {}, parent); });
    // Owned by the window, so they outlive its pages as in the application.
    auto* updater = new Updater([](const QString&) { return std::nullopt; }, {}, true, &window);
    auto* menus = new Menus(window, model, *updater, *window.sidebar(), *window.toolbar(), {[] {}, [] {}});
    menus->setParent(&window);
    window.setCleanUpSafeItems(menus->cleanUpSafeItems);
    DiskPages::install(*menus->cleanUpSafeItems);
    AppPages::install();
    window.showPage();
}

RealPages::~RealPages() {
    SheetHost::setPaletteMaker({});
    for (SidebarItem item : allSidebarItems)
        Pages::setMaker(item, {});
}

ViewTour::ViewTour(WindowFixture& fixture)
    : model(seeded(fixture)), window(fixture.makeWindow(model)), themes_(*fixture.settings), pages_(window, model) {
    window.resize(1100, 720);
    activate(window);
}

ViewTour::~ViewTour() = default;

QWidget* ViewTour::awaitSheet() {
    if (!dovrane::testing::waitFor(
            [this] { return window.sheetHost()->current() && window.sheetHost()->current()->isVisible(); }, 2000))
        return nullptr;
    QWidget* sheet = window.sheetHost()->current();
    activate(*sheet);
    return sheet;
}

void ViewTour::forEachView(const std::function<void(const QString& name, QWidget& root)>& visit) {
    for (SidebarItem item : allSidebarItems) {
        model.setSidebar(item);
        activate(window);
        // The journal's rows come from the model's pool.
        if (item == SidebarItem::cleaned)
            (void)dovrane::testing::waitFor(
                [this] {
                    const auto* page = window.findChild<CleanedPage*>();
                    return page && page->isSettled();
                },
                2000);
        visit(QStringLiteral("page ") + rawValue(item), window);
    }

    model.setSidebar(SidebarItem::overview);
    const std::vector<std::pair<QString, std::function<void()>>> sheets = {
        {QStringLiteral("onboarding"), [this] { model.setSheet(ActiveSheet::onboarding()); }},
        {QStringLiteral("cleanup"), [this] { model.requestCleanup(model.scan()->safeItems(true), "Safe items"); }},
        {QStringLiteral("uninstall"), [this] { (void)model.requestUninstall(model.apps().front()); }},
        {QStringLiteral("palette"), [this] { model.setSheet(ActiveSheet::palette()); }},
    };
    for (const auto& [name, open] : sheets) {
        open();
        if (QWidget* sheet = awaitSheet())
            visit(QStringLiteral("sheet ") + name, *sheet);
        else
            QTest::qFail(qPrintable(QStringLiteral("no sheet: ") + name), __FILE__, __LINE__);
        model.setSheet(std::nullopt);
        if (!dovrane::testing::waitFor([this] { return !window.sheetHost()->current(); }, 2000))
            QTest::qFail(qPrintable(QStringLiteral("the sheet stays: ") + name), __FILE__, __LINE__);
    }

    {
        QWidget panel;
        auto* layout = new QVBoxLayout(&panel);
        layout->addWidget(new MenuBarView(model, {}, &panel));
        activate(panel);
        visit(QStringLiteral("menu bar panel"), panel);
    }

    SettingsView settings(model, themes_);
    activate(settings);
    for (int tab = 0; tab < settings.tabs()->count(); ++tab) {
        settings.tabs()->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        visit(QStringLiteral("settings ") + settings.tabs()->tabText(tab), settings);
    }
}

} // namespace dovrane::testing
