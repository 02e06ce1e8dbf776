#include "App/Menus.h"

#include "AppModel/AppModel.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "Updater/Updater.h"

#include <QKeyEvent>
#include <QMenuBar>

namespace dovrane {

namespace {

const QString supportMail = QStringLiteral("mailto:support@dovrane.app");

// Qt's German leaves the Return key "Return" in the menus' shortcut texts; German keyboards and
// desktops call it "Eingabe", as the tooltips do. Our catalogue is asked before Qt's.
[[maybe_unused]] constexpr const char* returnKey = QT_TRANSLATE_NOOP("QShortcut", "Return");

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
    QMenu* app = bar->addMenu(tr("Dovrane"));
    settings = addAction(app, tr("Settings…"), {QKeySequence(Qt::CTRL | Qt::Key_Comma)}, [open = actions.openSettings] {
        if (open)
            open();
    });
    settings->setMenuRole(QAction::NoRole);
    checkForUpdates = addAction(app, tr("Check for Updates…"), {}, [this] { updater_.checkForUpdates(); });
    checkForUpdates->setMenuRole(QAction::NoRole);
    app->addSeparator();
    quit = addAction(app, tr("Quit Dovrane"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, actions.quit);
    quit->setMenuRole(QAction::NoRole);

    QMenu* disk = bar->addMenu(tr("Disk"));
    disk->setToolTipsVisible(true); // a disabled action says why
    scanAgain = addAction(disk, tr("Scan Again"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
                          [this] { model_.startScan(AppModel::Apps::reload); });
    stopScan =
        addAction(disk, tr("Stop Scan"), {QKeySequence(Qt::CTRL | Qt::Key_Period)}, [this] { model_.cancelScan(); });
    disk->addSeparator();
    // The one owner of Ctrl+Return in the window; the Overview page triggers this action.
    cleanUpSafeItems = addAction(disk, tr("Clean Up Safe Items…"),
                                 {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                  QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter)},
                                 [this] { model_.requestCleanup(model_.safeItems(), Wording::safeItems()); });

    QMenu* view = bar->addMenu(tr("View"));
    commandPalette = addAction(view, tr("Command Palette…"), {QKeySequence(Qt::CTRL | Qt::Key_K)},
                               [this] { model_.setSheet(ActiveSheet::palette()); });
    view->addSeparator();
    showSidebar = view->addAction(tr("Show Sidebar"));
    showSidebar->setCheckable(true);
    showSidebar->setChecked(true);
    connect(showSidebar, &QAction::toggled, &sidebar, &QWidget::setVisible);
    showToolbar = view->addAction(tr("Show Toolbar"));
    showToolbar->setCheckable(true);
    showToolbar->setChecked(true);
    connect(showToolbar, &QAction::toggled, &toolbar, &QWidget::setVisible);
    view->addSeparator();
    for (SidebarItem item : allSidebarItems) {
        const Qt::Key digit = Qt::Key(Qt::Key_0 + shortcut(item).digitValue());
        pages[item] =
            addAction(view, title(item), {QKeySequence(Qt::CTRL | digit)}, [this, item] { model_.setSidebar(item); });
    }

    QMenu* help = bar->addMenu(tr("Help"));
    setupAndPermissions =
        addAction(help, tr("Setup and Permissions…"), {}, [this] { model_.setSheet(ActiveSheet::onboarding()); });
    // Linux has no access pane of its own: what Dovrane may read is told in its own Settings.
    openFileAccessSettings = addAction(help, tr("Open File Access Settings"), {}, [this, open = actions.openSettings] {
        model_.setSettingsTab(SettingsTab::general);
        if (open)
            open();
    });
    help->addSeparator();
    copyDiagnostics = addAction(help, tr("Copy Diagnostics"), {}, [this] { model_.copyDiagnostics(); });
    emailSupport = addAction(help, tr("Email Support"), {}, [] { Desktop::open(supportAddress()); });

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
