// How the desktop knows Dovrane's windows: the application id of its menu entry, and its icon
// on the main window, every sheet, the menu bar panel, the Settings window and a message box.

#include "App/AppIdentity.h"
#include "App/StartupProblem.h"
#include "ViewTour.h"
#include "support/ModelTestMain.h"

#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QImage imageOf(const QIcon& icon) { return icon.pixmap(QSize(32, 32)).toImage(); }

// The icon the desktop is given for the window that holds widget.
QImage iconOfWindow(QWidget& widget) {
    QWindow* handle = widget.window()->windowHandle();
    return handle ? imageOf(handle->icon()) : QImage();
}

} // namespace

class IdentityTests : public QObject {
    Q_OBJECT

private slots:
    void everyWindowAndDialogCarriesTheIcon() {
        AppIdentity::install();
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("app.dovrane.Dovrane"));
        // Built into the program, so a desktop without the installed icon still shows it.
        QVERIFY(QFile::exists(QStringLiteral(":/icons/app.dovrane.Dovrane.svg")));
        const QImage icon = imageOf(QGuiApplication::windowIcon());
        QVERIFY2(!icon.isNull(), "the icon does not load");
        QVERIFY(icon.pixelColor(16, 16).alpha() > 0);

        WindowFixture fixture;
        ViewTour tour(fixture);
        QStringList views;
        tour.forEachView([&](const QString& name, QWidget& root) {
            QVERIFY2(iconOfWindow(root) == icon, qPrintable(name));
            views << name;
        });
        QCOMPARE(views.filter(QStringLiteral("sheet ")).size(), 4);
        QVERIFY(!views.filter(QStringLiteral("settings ")).isEmpty());

        // A message box of its own, shown before any other window: a start without a database.
        const auto problem = StartupProblem::noDatabaseBox("/tmp/x/Dovrane.store", "unable to open database file");
        problem->show();
        QVERIFY(iconOfWindow(*problem) == icon);
    }
};

DOVRANE_MODEL_SUITE(IdentityTests)
#include "IdentityTests.moc"
