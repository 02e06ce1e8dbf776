#include "UiTestMain.h"

#include "WindowBehavior/FitsContent.h"
#include "WindowBehavior/WindowHook.h"
#include "WindowBehavior/WindowPlacement.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace dovrane;

class WindowBehaviorTests : public QObject {
    Q_OBJECT
private slots:
    void formHeightFollowsItsContentUpToTheMaximum() {
        QScrollArea area;
        area.setFrameShape(QFrame::NoFrame);
        FitsContent fits(&area, 640);
        QVERIFY(!fits.fittedHeight());
        fits.contentHeightChanged(300);
        QCOMPARE(fits.fittedHeight(), std::optional(300.0));
        QCOMPARE(area.height(), 300);
        fits.contentHeightChanged(300.5);
        QCOMPARE(fits.height(), std::optional(300.0));
        fits.contentHeightChanged(301);
        QCOMPARE(area.height(), 301);
        fits.contentHeightChanged(900);
        QCOMPARE(fits.fittedHeight(), std::optional(640.0));
        QCOMPARE(area.height(), 640);
    }

    void measuresTheRealContent() {
        QScrollArea area;
        area.setFrameShape(QFrame::NoFrame);
        auto* content = new QWidget;
        auto* column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        auto* row = new QWidget;
        row->setFixedHeight(250);
        column->addWidget(row);
        area.setWidget(content);
        area.setWidgetResizable(true);
        auto* fits = new FitsContent(&area, 640);
        area.show();
        QCOMPARE(fits->height(), std::optional(250.0));
        row->setFixedHeight(900);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(area.height(), 640);
    }

    void focusClearsOnlyWhenAClosedWindowComesBack() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* field = new QLineEdit;
        layout->addWidget(field);
        auto* hook = new WindowHook(field);
        QWidget other;

        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(!hook->reopened());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(window.focusWidget(), nullptr); // first showing

        // Switching to another window and back keeps the focus.
        field->setFocus();
        other.show();
        QApplication::setActiveWindow(&other);
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents();
        QCOMPARE(window.focusWidget(), field);

        // Closing and showing again clears it.
        window.close();
        QVERIFY(hook->reopened());
        window.show();
        field->setFocus();
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents();
        QVERIFY(!hook->reopened());
        QCOMPARE(window.focusWidget(), nullptr);
    }

    void aWindowIsCentredOnItsAnchorInsideTheScreen() {
        const QRect room(0, 0, 1920, 1080);
        // Centred: equal margins on both sides, also for odd differences.
        QCOMPARE(WindowPlacement::centred(QRect(100, 100, 1100, 720), QSize(520, 400), room), QPoint(390, 260));
        QCOMPARE(WindowPlacement::centred(QRect(0, 0, 101, 101), QSize(50, 50), room), QPoint(26, 26));
        QCOMPARE(WindowPlacement::centred(QRect(0, 0, 100, 100), QSize(51, 51), room), QPoint(24, 24));
        // A main window half off the screen: the sheet is pushed back inside.
        QCOMPARE(WindowPlacement::centred(QRect(1700, 900, 600, 400), QSize(400, 300), room), QPoint(1520, 780));
        QCOMPARE(WindowPlacement::centred(QRect(-500, -300, 600, 400), QSize(400, 300), room), QPoint(0, 0));
        // Larger than the screen: its top-left corner (the title bar) stays on it.
        QCOMPARE(WindowPlacement::centred(QRect(0, 0, 1920, 1080), QSize(2000, 1200), room), QPoint(0, 0));
        // A second screen to the right: the room is that screen's.
        QCOMPARE(WindowPlacement::centred(QRect(2000, 0, 800, 600), QSize(400, 300), QRect(1920, 0, 1280, 1024)),
                 QPoint(2200, 150));
        // No room known: where centring puts it.
        QCOMPARE(WindowPlacement::centred(QRect(-500, 0, 600, 400), QSize(400, 300), QRect()), QPoint(-399, 50));
    }

    void offscreenWindowsComeForwardWithoutBeingRaised() {
        QVERIFY(!WindowPlacement::platformStacksWindows());
        QWidget window;
        QWidget anchor;
        anchor.setGeometry(100, 50, 400, 300);
        anchor.show();
        window.resize(200, 100);
        WindowPlacement::centreOn(&window, &anchor);
        WindowPlacement::bringToFront(&window);
        QVERIFY(window.isVisible());
        QCOMPARE(window.frameGeometry().center(), anchor.frameGeometry().center());
        // Without an anchor on show: the middle of the screen.
        anchor.hide();
        window.hide();
        WindowPlacement::centreOn(&window, &anchor);
        QCOMPARE(window.frameGeometry().center(), window.screen()->availableGeometry().center());
    }

    // A minimized window comes back in the state it had: normal, or maximized.
    void aMinimizedWindowComesBackAsItWas() {
        for (const Qt::WindowStates before :
             {Qt::WindowStates(Qt::WindowNoState), Qt::WindowStates(Qt::WindowMaximized)}) {
            QWidget window;
            window.resize(200, 100);
            window.setWindowState(before);
            window.show();
            window.setWindowState(window.windowState() | Qt::WindowMinimized);
            QVERIFY(window.isMinimized());
            WindowPlacement::bringToFront(&window);
            QVERIFY(window.isVisible());
            QVERIFY(!window.isMinimized());
            QCOMPARE(window.isMaximized(), before.testFlag(Qt::WindowMaximized));
        }
        // A hidden, minimized window is shown un-minimized too.
        QWidget hidden;
        hidden.setWindowState(Qt::WindowMinimized);
        WindowPlacement::bringToFront(&hidden);
        QVERIFY(hidden.isVisible());
        QVERIFY(!hidden.isMinimized());
    }

    // With a home the focus lands there instead of nowhere, each time the closed window comes back.
    void aHomeTakesTheFocusInsteadOfNothing() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* home = new QPushButton(QStringLiteral("General"));
        auto* field = new QLineEdit;
        layout->addWidget(home);
        layout->addWidget(field);
        new WindowHook(field, home);
        for (int showing = 0; showing < 2; ++showing) {
            window.show();
            field->setFocus();
            QApplication::setActiveWindow(&window);
            QCoreApplication::processEvents();
            QCOMPARE(window.focusWidget(), home);
            window.close();
        }
    }
};

DOVRANE_UI_TEST_MAIN(WindowBehaviorTests)
#include "WindowBehaviorTests.moc"
