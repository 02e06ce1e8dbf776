// The whole window pressed as an impatient user would: every page, every category's detail,
// every sheet, the command palette, the menus, the menu bar panel and every Settings tab, each
// enabled button pressed and each enabled menu and context-menu action triggered, one after the
// other in one window. The first pass confirms what asks (sheets, message boxes, folder
// pickers), the second cancels it. Once over the demo data, once over a real home with apps,
// leftovers, a Trash and an update feed on loopback. Passing means nothing crashed or asserted
// and the window still answers.

#include "App/Menus.h"
#include "AppModel/AppModel.h"
#include "AppsPage/AppsPage.h"
#include "CleanedPage/RemovalRow.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/AppPages.h"
#include "ContentView/DiskPages.h"
#include "ContentView/Pages.h"
#include "ContentView/SheetHost.h"
#include "Launch/SeedEntry.h"
#include "MenuBarView/MenuBarView.h"
#include "QtWaits.h"
#include "SettingsView/SettingsView.h"
#include "Theme/Theme.h"
#include "UiKit/ConfirmationDialog.h"
#include "UiKit/Desktop.h"
#include "UiKit/StorageSelection.h"
#include "Updater/Updater.h"
#include "ViewTour.h"
#include "WindowFixture.h"
#include "support/AppFixtures.h"
#include "support/Bundles.h"
#include "support/ModelTestMain.h"
#include "support/UpdateHome.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/system/SizeCounter.h>
#include <DovraneKit/trash/Trasher.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

enum class Answer { confirm, cancel };

struct Tally {
    std::set<QString> views;
    int buttons = 0, menuActions = 0, contextMenus = 0, contextActions = 0, paletteCommands = 0, sheets = 0,
        messageBoxes = 0, filePickers = 0;
};

// Waits on pending work a little, and lets deleted widgets go.
void settle() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// What a button is, across a rebuild of its view: its kind, words and place among its likes.
QString identity(const QAbstractButton& button) {
    return QString::fromLatin1(button.metaObject()->className()) + QLatin1Char('|') + button.text() + QLatin1Char('|') +
           button.accessibleName() + QLatin1Char('|') + button.toolTip();
}

// Drives the window: presses, answers what comes up, and returns to the view it was on.
class Presser {
public:
    Presser(ContentView& window, AppModel& model, std::string pickable, Tally& tally)
        : window_(window), model_(model), pickable_(std::move(pickable)), tally_(tally) {
        // Folder pickers and menus run a loop of their own; this answers them from inside it,
        // so that no press can hold the run up. (Context menus are worked by runMenu.)
        pickers_.setInterval(20);
        QObject::connect(&pickers_, &QTimer::timeout, [this] {
            answerPickers();
            if (!popup_)
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                    menu->close();
        });
        pickers_.start();
    }

    Answer answer = Answer::confirm;

    // Presses every enabled button under root, rounds until no new one turns up; back brings
    // the view back after a press that left it.
    void pressAll(const std::function<QWidget*()>& root, const std::function<void()>& back) {
        std::set<QString> pressed;
        for (int round = 0; round < 3; ++round) {
            bool any = false;
            QWidget* top = root();
            if (!top)
                return;
            std::map<QString, int> seen;
            std::vector<std::pair<QString, QPointer<QAbstractButton>>> buttons;
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
                const QString key = identity(*button) + QString::number(seen[identity(*button)]++);
                buttons.emplace_back(key, button);
            }
            for (auto& [key, button] : buttons) {
                if (!button || pressed.contains(key) || !button->isVisible() || !button->isEnabled())
                    continue;
                pressed.insert(key);
                any = true;
                press(*button);
                if (back)
                    back();
            }
            if (!any)
                return;
        }
    }

    void press(QAbstractButton& button) {
        ++tally_.buttons;
        QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
        answerAll();
    }

    // The item views and journal rows under root, each asked for its context menu on its first
    // row; every enabled action of each menu is chosen in turn.
    void pressContextMenus(const std::function<QWidget*()>& root, const std::function<void()>& back) {
        if (!root())
            return;
        std::vector<std::function<void()>> openers;
        for (QAbstractItemView* view : root()->findChildren<QAbstractItemView*>()) {
            if (!view->isVisible() || view->contextMenuPolicy() != Qt::CustomContextMenu || !view->model() ||
                view->model()->rowCount() == 0)
                continue;
            openers.push_back([view = QPointer<QAbstractItemView>(view)] {
                if (!view || !view->model() || view->model()->rowCount() == 0)
                    return;
                const QPoint point = view->visualRect(view->model()->index(0, 0)).center();
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
                QContextMenuEvent event(QContextMenuEvent::Mouse, point, view->viewport()->mapToGlobal(point));
                QCoreApplication::sendEvent(view->viewport(), &event);
            });
        }
        for (RemovalRow* row : root()->findChildren<RemovalRow*>()) {
            if (!row->isVisible())
                continue;
            openers.push_back([row = QPointer<RemovalRow>(row)] {
                if (!row)
                    return;
                const QPoint point = row->rect().center();
                QContextMenuEvent event(QContextMenuEvent::Mouse, point, row->mapToGlobal(point));
                QCoreApplication::sendEvent(row, &event);
            });
        }
        for (const auto& open : openers) {
            runMenu(open);
            if (back)
                back();
        }
    }

    // Opens the menu once to read its enabled actions, then once per action to choose it.
    void runMenu(const std::function<void()>& open) {
        std::vector<int> enabled;
        atPopup([&enabled](QMenu& menu) {
            const QList<QAction*> actions = menu.actions();
            for (int index = 0; index < actions.size(); ++index)
                if (actions[index]->isEnabled() && actions[index]->isVisible() && !actions[index]->isSeparator())
                    enabled.push_back(index);
            menu.close();
        });
        open();
        stopPopupWatch();
        ++tally_.contextMenus;
        for (int index : enabled) {
            atPopup([index](QMenu& menu) {
                QPointer<QMenu> shown(&menu);
                QAction* action = menu.actions().value(index);
                if (action && action->isEnabled() && action->isVisible() && !action->isSeparator()) {
                    menu.setActiveAction(action);
                    QTest::keyClick(&menu, Qt::Key_Return);
                }
                // Work done since the menu was first read may have changed its row: an action
                // gone or disabled leaves the menu open, which would hold the run for good.
                if (shown && shown->isVisible())
                    shown->close();
            });
            open();
            stopPopupWatch();
            ++tally_.contextActions;
            answerAll();
        }
    }

    // Triggers every enabled action of the window's menus; a checkable one twice, so it ends
    // as it was.
    void triggerMenuBar() {
        for (QAction* top : window_.menuBar()->actions()) {
            if (!top->menu())
                continue;
            for (QPointer<QAction> action : top->menu()->actions()) {
                if (!action || action->isSeparator() || !action->isEnabled() || !action->isVisible())
                    continue;
                action->trigger();
                ++tally_.menuActions;
                answerAll();
                if (action && action->isCheckable()) {
                    action->trigger();
                    answerAll();
                }
            }
        }
    }

    // Answers the message boxes and the sheet that a press brought up.
    void answerAll() {
        settle();
        for (int round = 0; round < 5; ++round) {
            bool any = answerBoxes();
            any = answerSheet() || any;
            settle();
            if (!any)
                return;
        }
    }

    // Waits for the model's sheet to be on show; nullptr when none came.
    QDialog* awaitSheet() {
        (void)dovrane::testing::waitFor(
            [this] { return window_.sheetHost()->current() && window_.sheetHost()->current()->isVisible(); }, 700);
        return window_.sheetHost()->current();
    }

    // Closes whatever sheet is on show without acting.
    void closeSheet() {
        model_.setSheet(std::nullopt);
        (void)dovrane::testing::waitFor([this] { return !window_.sheetHost()->current(); }, 700);
        settle();
    }

    // Presses every button of a sheet but those that close it, then its default (confirm) or
    // its Cancel.
    void workSheet(QDialog& sheet) {
        ++tally_.sheets;
        tally_.views.insert(QStringLiteral("sheet ") + QString::fromLatin1(sheet.metaObject()->className()));
        const QPointer<QDialog> guard(&sheet);
        QPointer<QPushButton> confirm, cancel;
        std::vector<QPointer<QAbstractButton>> others;
        for (QAbstractButton* button : sheet.findChildren<QAbstractButton*>()) {
            auto* push = qobject_cast<QPushButton*>(button);
            if (push && push->isDefault())
                confirm = push;
            else if (button->text() == QStringLiteral("Cancel"))
                cancel = push;
            else
                others.emplace_back(button);
        }
        for (const auto& button : others) {
            if (!guard || guard != window_.sheetHost()->current())
                return;
            if (button && button->isVisible() && button->isEnabled()) {
                ++tally_.buttons;
                QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
                settle();
                answerBoxes();
            }
        }
        if (!guard || guard != window_.sheetHost()->current())
            return;
        QPushButton* closing = answer == Answer::confirm ? confirm.data() : cancel.data();
        if (closing && closing->isVisible() && closing->isEnabled()) {
            ++tally_.buttons;
            QTest::mouseClick(closing, Qt::LeftButton, {}, closing->rect().center());
            settle();
        }
        if (guard && guard == window_.sheetHost()->current() && answer == Answer::cancel)
            guard->reject();
        settle();
    }

    // Every command the palette lists, each chosen with the keys in a palette of its own.
    void runPalette(const std::function<void()>& back) {
        model_.setSheet(ActiveSheet::palette());
        auto* palette = qobject_cast<CommandPalette*>(awaitSheet());
        QVERIFY(palette);
        tally_.views.insert(QStringLiteral("palette"));
        const int count = int(palette->results().size());
        QVERIFY(count > 0);
        if (answer == Answer::cancel) {
            QTest::keyClick(palette->searchField(), Qt::Key_Escape);
            DOVRANE_TRY_VERIFY(!window_.sheetHost()->current());
            return;
        }
        closeSheet();
        for (int index = 0; index < count; ++index) {
            model_.setSheet(ActiveSheet::palette());
            palette = qobject_cast<CommandPalette*>(awaitSheet());
            QVERIFY(palette);
            for (int step = 0; step < index; ++step)
                QTest::keyClick(palette->searchField(), Qt::Key_Down);
            QTest::keyClick(palette->searchField(), Qt::Key_Return);
            ++tally_.paletteCommands;
            QTest::qWait(CommandPalette::runDelayMs + 20);
            answerAll();
            if (window_.sheetHost()->current())
                closeSheet();
            if (back)
                back();
        }
    }

private:
    bool answerBoxes() {
        bool any = false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* question = qobject_cast<ConfirmationDialog*>(top); question && question->isVisible()) {
                any = true;
                ++tally_.messageBoxes;
                QPushButton* chosen = answer == Answer::confirm ? question->actionButton() : question->cancelButton();
                QTest::mouseClick(chosen, Qt::LeftButton, {}, chosen->rect().center());
                continue;
            }
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box || !box->isVisible())
                continue;
            any = true;
            ++tally_.messageBoxes;
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                const QMessageBox::ButtonRole role = box->buttonRole(button);
                const bool yes = role == QMessageBox::DestructiveRole || role == QMessageBox::AcceptRole ||
                                 role == QMessageBox::YesRole;
                const bool no = role == QMessageBox::RejectRole || role == QMessageBox::NoRole;
                if ((answer == Answer::confirm && yes) || (answer == Answer::cancel && no))
                    chosen = button;
            }
            if (chosen)
                QTest::mouseClick(chosen, Qt::LeftButton, {}, chosen->rect().center());
            else
                box->reject();
        }
        return any;
    }

    bool answerSheet() {
        QDialog* sheet = window_.sheetHost()->current();
        if (!sheet || !sheet->isVisible())
            return false;
        if (qobject_cast<CommandPalette*>(sheet)) {
            closeSheet();
            return true;
        }
        workSheet(*sheet);
        if (window_.sheetHost()->current() == sheet)
            closeSheet();
        return true;
    }

    void answerPickers() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* picker = qobject_cast<QFileDialog*>(top);
            if (!picker || !picker->isVisible())
                continue;
            ++tally_.filePickers;
            if (answer == Answer::confirm) {
                picker->setDirectory(QString::fromStdString(Path::parent(pickable_)));
                picker->selectFile(QString::fromStdString(pickable_));
                static_cast<QDialog*>(picker)->accept();
            }
            if (picker->isVisible())
                picker->reject();
        }
    }

    // Looks for the menu until it shows: on a busy machine the first look may come before the
    // menu is up, and a menu nobody works would hold the run for good.
    void atPopup(std::function<void(QMenu&)> act) {
        popup_ = std::make_unique<QTimer>();
        QObject::connect(popup_.get(), &QTimer::timeout, [timer = popup_.get(), act = std::move(act)] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                timer->stop();
                act(*menu);
            }
        });
        popup_->start(5);
    }
    void stopPopupWatch() {
        popup_.reset();
        settle();
    }

    ContentView& window_;
    AppModel& model_;
    std::string pickable_;
    Tally& tally_;
    QTimer pickers_;
    std::unique_ptr<QTimer> popup_;
};

// The window as the application builds it: real pages, menus with their own Settings window,
// the real palette, and doubles where the desktop would be reached.
class Tour {
public:
    Tour(AppModel& model, std::string pickable, Tally& tally)
        : model_(model), window_(model, {}), themes_(*model.services().settings),
          presser_(window_, model, std::move(pickable), tally), tally_(tally) {
        Desktop::setOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        SheetHost::setPaletteMaker([this](AppModel& hosted, QWidget* parent) -> QDialog* {
            return new CommandPalette(
                hosted, [this] { openSettings(); }, parent);
        });
        auto* updater = new Updater([](const QString&) { return std::nullopt; }, {}, true, &window_);
        auto* menus = new Menus(window_, model, *updater, *window_.sidebar(), *window_.toolbar(),
                                {[this] { openSettings(); }, [this] { ++quits; }});
        menus->setParent(&window_);
        window_.setCleanUpSafeItems(menus->cleanUpSafeItems);
        DiskPages::install(*menus->cleanUpSafeItems);
        AppPages::install();
        window_.showPage();
        window_.resize(1100, 720);
        activate(window_);
    }
    ~Tour() {
        SheetHost::setPaletteMaker({});
        for (SidebarItem item : allSidebarItems)
            Pages::setMaker(item, {});
        Desktop::setOpener([](const QUrl&) { return false; });
    }

    void pass(Answer answer) {
        presser_.answer = answer;
        for (int row = 0; row < window_.sidebar()->count(); ++row)
            visitPage(row);
        visitCategories();
        visitSheets();
        presser_.runPalette([this] { back(SidebarItem::overview); });
        presser_.triggerMenuBar();
        presser_.answerAll();
        visitMenuBarPanel();
        visitSettings();
    }

    // The window answers: a click on a sidebar row shows that page, and its buttons are live.
    void checkAnswers() {
        presser_.answerAll();
        if (window_.sheetHost()->current())
            presser_.closeSheet();
        activate(window_);
        const int appsRow =
            int(std::find(allSidebarItems.begin(), allSidebarItems.end(), SidebarItem::apps) - allSidebarItems.begin());
        window_.sidebar()->setCurrentRow(appsRow == 0 ? 1 : 0);
        settle();
        QListWidget* sidebar = window_.sidebar();
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {},
                          sidebar->visualItemRect(sidebar->item(appsRow)).center());
        settle();
        QCOMPARE(model_.sidebar(), std::optional<SidebarItem>(SidebarItem::apps));
        QVERIFY(window_.page() && window_.page()->isVisible());
        QVERIFY(qobject_cast<AppsPage*>(window_.page()));
        QVERIFY(window_.isVisible());
        window_.repaint(); // draws every widget there is, with nothing left dangling
    }

    std::vector<QUrl> opened;
    int quits = 0;

private:
    void back(SidebarItem item) {
        if (window_.sheetHost()->current())
            presser_.closeSheet();
        model_.setSidebar(item);
        settle();
    }

    void visitPage(int row) {
        const SidebarItem item = allSidebarItems.at(std::size_t(row));
        window_.sidebar()->setCurrentRow(row);
        settle();
        QCOMPARE(model_.sidebar(), std::optional<SidebarItem>(item));
        tally_.views.insert(QStringLiteral("page ") + rawValue(item));
        presser_.pressAll([this] { return &window_; }, [this, item] { back(item); });
        presser_.pressContextMenus([this] { return window_.page(); }, [this, item] { back(item); });
    }

    void visitCategories() {
        for (CategoryID id : allCategoryIDs) {
            const SidebarItem page = isDeveloper(id) ? SidebarItem::developer : SidebarItem::storage;
            const auto show = [this, id, page] {
                back(page);
                StorageSelection::shared().setCategory(id);
                settle();
            };
            show();
            tally_.views.insert(QStringLiteral("category ") + QString::fromStdString(std::string(rawValue(id))));
            presser_.pressAll([this] { return window_.page(); }, show);
            presser_.pressContextMenus([this] { return window_.page(); }, show);
        }
        StorageSelection::shared().setCategory(std::nullopt);
    }

    void visitSheets() {
        back(SidebarItem::overview);
        const std::vector<std::function<void()>> openers = {
            [this] { model_.setSheet(ActiveSheet::onboarding()); },
            [this] {
                if (model_.scan())
                    model_.requestCleanup(model_.scan()->safeItems(true), QStringLiteral("Safe items"));
            },
            [this] {
                for (const InstalledApp& app : model_.apps())
                    if (!app.isSystem) {
                        (void)model_.requestUninstall(app);
                        return;
                    }
            },
        };
        for (const auto& open : openers) {
            open();
            if (QDialog* sheet = presser_.awaitSheet()) {
                activate(*sheet);
                presser_.workSheet(*sheet);
            }
            presser_.answerAll();
            if (window_.sheetHost()->current())
                presser_.closeSheet();
            back(SidebarItem::overview);
        }
    }

    void visitMenuBarPanel() {
        QWidget panel;
        auto* layout = new QVBoxLayout(&panel);
        layout->addWidget(new MenuBarView(
            model_, [this] { activate(window_); }, &panel));
        activate(panel);
        tally_.views.insert(QStringLiteral("menu bar panel"));
        presser_.pressAll([&panel] { return &panel; }, {});
    }

    void visitSettings() {
        openSettings();
        QPointer<SettingsView> view = settings_.get();
        for (int tab = 0; view && tab < view->tabs()->count(); ++tab) {
            view->tabs()->setCurrentIndex(tab);
            settle();
            tally_.views.insert(QStringLiteral("settings ") + view->tabs()->tabText(tab));
            presser_.pressAll([view, tab]() -> QWidget* { return view ? view->tabs()->widget(tab) : nullptr; },
                              [view, tab] {
                                  if (view)
                                      view->tabs()->setCurrentIndex(tab);
                              });
        }
        if (settings_)
            settings_->close();
        activate(window_);
    }

    void openSettings() {
        if (!settings_)
            settings_ = std::make_unique<SettingsView>(model_, themes_);
        activate(*settings_);
    }

    AppModel& model_;
    ContentView window_;
    ThemeStore themes_;
    Presser presser_;
    Tally& tally_;
    std::unique_ptr<SettingsView> settings_;
};

void report(const char* where, const Tally& tally) {
    qInfo().noquote() << QStringLiteral("%1: %2 views, %3 buttons pressed, %4 menu actions, %5 context menus with %6 "
                                        "actions, %7 palette commands, %8 sheets, %9 message boxes, %10 folder pickers")
                             .arg(QString::fromLatin1(where))
                             .arg(tally.views.size())
                             .arg(tally.buttons)
                             .arg(tally.menuActions)
                             .arg(tally.contextMenus)
                             .arg(tally.contextActions)
                             .arg(tally.paletteCommands)
                             .arg(tally.sheets)
                             .arg(tally.messageBoxes)
                             .arg(tally.filePickers);
}

// The views every run must have reached, whatever the data.
void checkReach(const Tally& tally) {
    for (SidebarItem item : allSidebarItems)
        QVERIFY2(tally.views.contains(QStringLiteral("page ") + rawValue(item)), qPrintable(rawValue(item)));
    for (CategoryID id : allCategoryIDs)
        QVERIFY(tally.views.contains(QStringLiteral("category ") + QString::fromStdString(std::string(rawValue(id)))));
    for (const char* view : {"sheet dovrane::OnboardingView", "palette", "menu bar panel"})
        QVERIFY2(tally.views.contains(QString::fromLatin1(view)), view);
    QVERIFY(std::count_if(tally.views.begin(), tally.views.end(),
                          [](const QString& view) { return view.startsWith(QStringLiteral("settings ")); }) >= 3);
    QVERIFY(tally.menuActions > 0);
    QVERIFY(tally.paletteCommands > 0);
}

// What would reach the desktop reached the doubles: "Email Support" its address, "Quit" the
// counter, once a pass.
void checkDoubles(const Tour& tour) {
    QVERIFY(std::find(tour.opened.begin(), tour.opened.end(), Menus::supportAddress()) != tour.opened.end());
    QCOMPARE(tour.quits, 2);
}

} // namespace

class PressEverythingTests : public QObject {
    Q_OBJECT

private slots:
    void overTheDemoData() {
        WindowFixture fixture;
        AppModel& model = [&fixture]() -> AppModel& {
            ScopedEnv seed("APP_SEED", "1");
            AppModel& seeded = fixture.makeModel();
            SeedData::insertIfRequested(seeded);
            return seeded;
        }();
        QVERIFY(model.isDemo());
        writeFile(fixture / "Picked/folder/file", "x");
        Tally tally;
        Tour tour(model, fixture / "Picked/folder", tally);
        tour.pass(Answer::confirm);
        tour.pass(Answer::cancel);
        tour.checkAnswers();
        report("demo", tally);
        checkReach(tally);
        QVERIFY(tally.views.contains(QStringLiteral("sheet dovrane::CleanupSheet")));
        QVERIFY(tally.views.contains(QStringLiteral("sheet dovrane::UninstallSheet")));
        QVERIFY(tally.contextActions > 0);
        // Every demo update ends at once when pressed: the cards were all pressed away.
        QVERIFY(model.availableUpdates().empty());
        checkDoubles(tour);
    }

    void overARealHome() {
        UpdateHome home;
        ModelFixture& fixture = home.fixture;
        home.fedApp("Editor", "1.0", "2.0");
        makeAppBundle(fixture / "Applications/Viewer.app", "com.example.Viewer", "Viewer");
        writeFile(fixture / ".config/com.example.Viewer/settings.json", "{}");
        writeFile(fixture / ".cache/com.example.Viewer/cache.bin", std::string(40000, 'c'));
        // Leftovers of an app that is gone.
        writeFile(fixture / ".cache/io.gone.Tool/data.bin", std::string(20000, 'd'));
        writeFile(fixture / ".var/app/org.gone.Flat/config/prefs", "{}");
        if (mksquashfs())
            QVERIFY(writeAppImage(fixture / "Applications/Tool.AppImage",
                                  {{"tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool\n"
                                                    "Icon=tool\nX-AppImage-Version=1.2\n"}}));
        else
            qInfo("mksquashfs is missing: the home has no AppImage");
        writeFile(fixture / "Downloads/old-setup.deb", std::string(30000, 's'));
        writeFile(fixture / "Picked/folder/file", "x");

        Services services = home.services();
        services.clock = std::make_shared<RestingClock>(fixture.clock);
        services.loginItem = std::make_shared<FakeLoginItem>();
        services.executable = "/nonexistent/Dovrane";
        services.startDetached = [](const std::vector<std::string>&) { return true; };
        services.quit = [] {};
        services.scan = [](const DiskScanner& scanner, const DiskScanner::Progress& progress, std::stop_token stop) {
            return scanner.scan(progress, stop);
        };
        services.measure = [](const Url& url, std::stop_token stop) { return SizeCounter::measure(url, stop); };
        AppModel& model = fixture.makeModel(services);

        // Two earlier removals, their items in the home's Trash.
        for (const std::string name : {"Report.txt", "Old notes.txt"}) {
            writeFile(fixture / ("Work/" + name), "1234");
            const Trasher trasher = model.trasher();
            const Trasher::Outcome outcome =
                trasher.execute(trasher.plan({{Url::fromPath(fixture / ("Work/" + name)), 1000, 1, false}}));
            QCOMPARE(outcome.removed.size(), std::size_t(1));
            fixture.container().insert(
                std::make_shared<Removal>(fixture.clock->now(), QString::fromStdString(name), outcome.removed));
        }
        QVERIFY(fixture.container().save());

        Tally tally;
        Tour tour(model, fixture / "Picked/folder", tally);
        // What a first start does: list the apps, scan the disk and check for updates.
        (void)model.loadApps(true);
        DOVRANE_TRY_VERIFY_WITHIN(model.appsLoaded() && !model.isLoadingApps(), 10000);
        (void)model.startScan();
        DOVRANE_TRY_VERIFY_WITHIN(model.scan().has_value() && !model.isScanning(), 10000);
        (void)model.checkUpdates();
        DOVRANE_TRY_VERIFY_WITHIN(!model.isCheckingUpdates(), 10000);
        QVERIFY(!model.availableUpdates().empty());
        DOVRANE_TRY_VERIFY_WITHIN(!model.orphans().empty(), 10000);

        tour.pass(Answer::confirm);
        tour.pass(Answer::cancel);
        tour.checkAnswers();
        report("home", tally);
        checkReach(tally);
        QVERIFY(tally.views.contains(QStringLiteral("sheet dovrane::CleanupSheet")));
        QVERIFY(tally.contextActions > 0);
        checkDoubles(tour);
    }
};

DOVRANE_MODEL_SUITE(PressEverythingTests)
#include "PressEverythingTests.moc"
