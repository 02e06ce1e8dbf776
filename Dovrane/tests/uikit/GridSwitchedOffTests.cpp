#include "UiTestMain.h"

#include "Grid/GridOverlay.h"
#include "Grid/GridProbes.h"

using namespace dovrane;

class GridSwitchedOffTests : public QObject {
    Q_OBJECT
private slots:
    void marksCostNothingWithoutASwitch() {
        QVERIFY(!GridProbes::enabled());
        QVERIFY(!GridOverlay::enabled()); // APP_GRID set, but not to "1"
        QWidget window;
        auto* child = new QWidget(&window);
        window.show();
        gridArea(child, "overview", 20);
        gridProbe(child, "header", "overview");
        // No watcher was attached anywhere, and nothing was stored.
        QVERIFY(child->findChildren<QObject*>().isEmpty());
        QVERIFY(GridProbes::shared().probes().isEmpty());
    }
};

DOVRANE_UI_TEST_MAIN(GridSwitchedOffTests, [] { setenv("APP_GRID", "yes", 1); })
#include "GridSwitchedOffTests.moc"
