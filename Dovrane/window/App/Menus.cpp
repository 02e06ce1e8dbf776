#include "App/Menus.h"

#include "AppModel/AppModel.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "Updater/Updater.h"

#include <QKeyEvent>
#include <QMenuBar>

#include <array>

namespace dovrane {

namespace {

const QString supportMail = QStringLiteral("mailto:support@dovrane.app");

// Qt's German leaves the Return key "Return" in the menus' shortcut texts; German keyboards and
// desktops call it "Eingabe", as the tooltips do. Our catalogue is asked before Qt's.
[[maybe_unused]] constexpr const char* returnKey = QT_TRANSLATE_NOOP("QShortcut", "Return");

// The pages' titles as the sidebar shows them, in its order, each with the letter that picks it
// in the View menu; every letter differs from the others of that menu, in each language.
constexpr std::array<const char*, allSidebarItems.size()> pageTitles = {
    QT_TRANSLATE_NOOP("dovrane::Menus", "&Overview"),  QT_TRANSLATE_NOOP("dovrane::Menus", "&Storage"),
    QT_TRANSLATE_NOOP("dovrane::Menus", "&Apps"),      QT_TRANSLATE_NOOP("dovrane::Menus", "&Updates"),
    QT_TRANSLATE_NOOP("dovrane::Menus", "&Developer"), QT_TRANSLATE_NOOP("dovrane::Menus", "C&leaned Up"),
};

QAction* addAction(QMenu* menu, const QString& title, const QList<QKeySequence>& keys, std::function<void()> run) {
    QAction* action = menu->addAction(title);
    action->setShortcuts(keys);
    QObject::connect(action, &QAction::triggered, action, [run = std::move(run)] { run(); });
    return action;
}

} // namespace

QUrl Menus::supportAddress() { return QUrl(supportMail); }

Menus::Menus(QMainWindow& window, AppModel& model, Updater& updater, QWidget& sidebar, QWidget& toolbar,
             Actions actions)
    : QObject(&window), model_(model), updater_(updater) {
    QMenuBar* bar = window.menuBar();

    // Linux has no application menu; the first menu carries its commands.
    QMenu* app = bar->addMenu(tr("&Dovrane"));
    settings =
        addAction(app, tr("&Settings…"), {QKeySequence(Qt::CTRL | Qt::Key_Comma)}, [open = actions.openSettings] {
            if (open)
                open();
        });
    settings->setMenuRole(QAction::NoRole);
    checkForUpdates = addAction(app, tr("Check for &Updates…"), {}, [this] { updater_.checkForUpdates(); });
    checkForUpdates->setMenuRole(QAction::NoRole);
    app->addSeparator();
    quit = addAction(app, tr("&Quit Dovrane"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, actions.quit);
    quit->setMenuRole(QAction::NoRole);

    QMenu* disk = bar->addMenu(tr("D&isk"));
    disk->setToolTipsVisible(true); // a disabled action says why
    scanAgain = addAction(disk, tr("&Scan Again"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
                          [this] { model_.startScan(AppModel::Apps::reload); });
    stopScan =
        addAction(disk, tr("S&top Scan"), {QKeySequence(Qt::CTRL | Qt::Key_Period)}, [this] { model_.cancelScan(); });
    disk->addSeparator();
    // The one owner of Ctrl+Return in the window; the Overview page triggers this action.
    cleanUpSafeItems = addAction(disk, tr("&Clean Up Safe Items…"),
                                 {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                  QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter)},
                                 [this] { model_.requestCleanup(model_.safeItems(), Wording::safeItems()); });

    QMenu* view = bar->addMenu(tr("&View"));
    commandPalette = addAction(view, tr("&Command Palette…"), {QKeySequence(Qt::CTRL | Qt::Key_K)},
                               [this] { model_.setSheet(ActiveSheet::palette()); });
    view->addSeparator();
    showSidebar = view->addAction(tr("Show Side&bar"));
    showSidebar->setCheckable(true);
    showSidebar->setChecked(true);
    connect(showSidebar, &QAction::toggled, &sidebar, &QWidget::setVisible);
    showToolbar = view->addAction(tr("Show &Toolbar"));
    showToolbar->setCheckable(true);
    showToolbar->setChecked(true);
    connect(showToolbar, &QAction::toggled, &toolbar, &QWidget::setVisible);
    view->addSeparator();
    for (std::size_t at = 0; at < allSidebarItems.size(); ++at) {
        const SidebarItem item = allSidebarItems[at];
        const Qt::Key digit = Qt::Key(Qt::Key_0 + shortcut(item).digitValue());
        pages[item] = addAction(view, tr(pageTitles[at]), {QKeySequence(Qt::CTRL | digit)},
                                [this, item] { model_.setSidebar(item); });
    }

    QMenu* help = bar->addMenu(tr("&Help"));
    setupAndPermissions =
        addAction(help, tr("&Setup and Permissions…"), {}, [this] { model_.setSheet(ActiveSheet::onboarding()); });
    // Linux has no access pane of its own: what Dovrane may read is told in its own Settings.
    openFileAccessSettings =
        addAction(help, tr("Open File &Access Settings…"), {}, [this, open = actions.openSettings] {
            model_.setSettingsTab(SettingsTab::general);
            if (open)
                open();
        });
    help->addSeparator();
    copyDiagnostics = addAction(help, tr("Copy &Diagnostics"), {}, [this] { model_.copyDiagnostics(); });
    emailSupport = addAction(help, tr("&Email Support"), {}, [] { Desktop::open(supportAddress()); });

    // F10 opens the first menu, as on the Linux desktops; Qt Widgets leaves that to the platform,
    // which on X11 does not do it. (Alt alone reaches the titles by the style's rule.)
    openMenus = new QAction(&window);
    openMenus->setShortcut(QKeySequence(Qt::Key_F10));
    openMenus->setShortcutContext(Qt::WindowShortcut);
    window.addAction(openMenus);
    connect(openMenus, &QAction::triggered, bar, [bar, first = app->menuAction()] { bar->setActiveAction(first); });

    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::isScanning || field == AppModel::Field::isDemo || field == AppModel::Field::scan)
            refresh();
    });
    connect(&updater_, &Updater::canCheckChanged, this, &Menus::refresh);
    refresh();
}

void Menus::refresh() {
    scanAgain->setEnabled(!model_.isScanning() && !model_.isDemo());
    scanAgain->setToolTip(Texts::demoTooltip(model_.isDemo()));
    stopScan->setEnabled(model_.isScanning());
    cleanUpSafeItems->setEnabled(!model_.safeItems().empty());
    checkForUpdates->setEnabled(updater_.canCheck());
}

bool PaletteKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_K && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            // Unaccepted, the key goes to the shortcut rather than to the focused field.
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QuitKeyFilter::QuitKeyFilter(QAction& quit, QObject* parent) : QObject(parent), quit_(quit) {}

bool QuitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Q && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier &&
            !key->isAutoRepeat() && quit_.isEnabled()) {
            quit_.trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace dovrane
