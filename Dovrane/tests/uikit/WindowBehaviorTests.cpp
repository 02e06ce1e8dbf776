#include "UiTestMain.h"

#include "WindowBehavior/FitsContent.h"
#include "WindowBehavior/WindowHook.h"

#include <QLineEdit>
#include <QPushButton>
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
