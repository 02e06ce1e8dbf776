// What a start that cannot open its database shows the user.

#include "App/StartupProblem.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {
// The answers the box offers, the details button left out.
int answers(const QMessageBox& box) {
    int count = 0;
    for (QAbstractButton* button : box.buttons())
        count += box.buttonRole(button) != QMessageBox::ActionRole;
    return count;
}
} // namespace

class StartupTests : public QObject {
    Q_OBJECT

private slots:
    void aDamagedStoreOffersAFreshStartAndKeepsTheFile() {
        const auto shown = StartupProblem::storeBox("/tmp/x/Dovrane.store", {"the file is damaged (page 7)", true});
        QVERIFY(shown.freshButton);
        QVERIFY(shown.box->text().contains(QStringLiteral("/tmp/x/Dovrane.store")));
        QVERIFY(shown.box->informativeText().contains(QStringLiteral("kept")));
        QCOMPARE(shown.box->detailedText(), QStringLiteral("the file is damaged (page 7)"));
        QCOMPARE(answers(*shown.box), 2);
        // Quit is the default: moving the user's file needs a deliberate choice.
        QVERIFY(static_cast<QAbstractButton*>(shown.box->defaultButton()) != shown.freshButton);
    }

    void anyOtherFailureOnlyTellsAndQuits() {
        const auto shown = StartupProblem::storeBox("/tmp/y.store", {"unable to open database file", false});
        QVERIFY(!shown.freshButton);
        QCOMPARE(answers(*shown.box), 1);
        QVERIFY(shown.box->informativeText().contains(QStringLiteral("Nothing was changed")));
        // The offscreen platform has no user to answer a box.
        QVERIFY(!StartupProblem::canShowWindows());
    }

    void aFolderThatCannotBeUsedNamesItselfAndQuits() {
        const auto settings =
            StartupProblem::folderBox({"settings folder", "/tmp/h/.config/Dovrane", "it is not a folder"});
        QVERIFY(settings->text().contains(QStringLiteral("settings")));
        QVERIFY(settings->text().contains(QStringLiteral("/tmp/h/.config/Dovrane")));
        QVERIFY(settings->informativeText().contains(QStringLiteral("Nothing was changed")));
        QCOMPARE(settings->detailedText(), QStringLiteral("it is not a folder"));
        QCOMPARE(answers(*settings), 1);
        const auto caches = StartupProblem::folderBox({"caches folder", "/tmp/c", "it cannot be written"});
        QVERIFY(caches->text().contains(QStringLiteral("caches")));
        QVERIFY(caches->text().contains(QStringLiteral("/tmp/c")));

        // Without a display, standard error alone hears of it, and the start ends.
        TempDir home;
        writeFile(home / "Dovrane", "");
        ScopedEnv config("XDG_CONFIG_HOME", home.path());
        QVERIFY(StartupProblem::reportUnusableFolder());
        ScopedEnv usable("XDG_CONFIG_HOME", home / "config");
        QVERIFY(!StartupProblem::reportUnusableFolder());
    }
};

DOVRANE_MODEL_SUITE(StartupTests)
#include "StartupTests.moc"
