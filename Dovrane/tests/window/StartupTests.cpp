// What a start that cannot open its database shows the user.

#include "App/StartupProblem.h"
#include "support/ModelTestMain.h"

#include <QPushButton>
#include <QTest>

using namespace dovrane;

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
};

DOVRANE_MODEL_SUITE(StartupTests)
#include "StartupTests.moc"
