// The segmented control: one choice at a time, the chosen segment raised yet its label in the
// full text colour (never the disabled grey), and a segment that grows with its label.

#include "QtWaits.h"
#include "UiKit/Appearance.h"
#include "UiKit/SegmentedControl.h"
#include "UiKit/SemanticColors.h"
#include "UiTestMain.h"

#include <QButtonGroup>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace dovrane;

namespace {

int distance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The pixel of a rendered segment farthest from its fill: a pixel of its label's text.
QColor labelColour(QWidget* segment, QColor fill) {
    const QImage image = segment->grab().toImage();
    QColor farthest = fill;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 4; x < image.width() - 4; ++x)
            if (const QColor pixel = image.pixelColor(x, y); distance(pixel, fill) > distance(farthest, fill))
                farthest = pixel;
    return farthest;
}

} // namespace

class SegmentedControlTests : public QObject {
    Q_OBJECT

private slots:
    void oneSegmentIsChosenAtATime() {
        SegmentedControl control;
        QAbstractButton* first = control.addSegment(QStringLiteral("Installed"), 4);
        QAbstractButton* second = control.addSegment(QStringLiteral("Leftovers"), 7);
        QVERIFY(first->isChecked());
        QVERIFY(!second->isChecked());
        QCOMPARE(control.group()->button(7), second);

        QSignalSpy clicked(control.group(), &QButtonGroup::idClicked);
        control.show();
        second->click();
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.front().front().toInt(), 7);
        QVERIFY(second->isChecked());
        QVERIFY(!first->isChecked());
        // Clicking the chosen one keeps it chosen.
        second->click();
        QVERIFY(second->isChecked());
    }

    void theChosenLabelKeepsTheTextColourInEitherLook() {
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QApplication::setPalette(SemanticColors::palette(look));
            SegmentedControl control;
            QAbstractButton* chosen = control.addSegment(QStringLiteral("Installed"), 0);
            QAbstractButton* other = control.addSegment(QStringLiteral("Leftovers"), 1);
            control.show();
            QCoreApplication::processEvents();

            const QPalette palette = chosen->palette();
            const QColor text = palette.color(QPalette::Active, QPalette::ButtonText);
            const QColor disabled = palette.color(QPalette::Disabled, QPalette::ButtonText);
            QVERIFY(distance(text, disabled) > 48);
            for (QAbstractButton* segment : {chosen, other}) {
                const QColor fill =
                    segment->isChecked() ? palette.color(QPalette::Light) : segment->grab().toImage().pixelColor(2, 2);
                const QColor label = labelColour(segment, fill);
                QVERIFY2(distance(label, text) < distance(label, disabled), qPrintable(segment->text()));
            }
            // The chosen one stands out from the track.
            QVERIFY(chosen->grab().toImage().pixelColor(chosen->width() / 2, 2) !=
                    other->grab().toImage().pixelColor(other->width() / 2, 2));
        }
        QApplication::setPalette(SemanticColors::palette(Appearance::shared().look()));
    }

    void aSegmentGrowsWithItsLabel() {
        SegmentedControl control;
        control.addSegment(QStringLiteral("Installed"), 0);
        QAbstractButton* counted = control.addSegment(QStringLiteral("Leftovers (4)"), 1);
        control.show();
        QCoreApplication::processEvents();
        const int before = control.width();
        counted->setText(QStringLiteral("Leftovers without an app (1234)"));
        DOVRANE_TRY_VERIFY(control.width() > before);
        DOVRANE_TRY_VERIFY(counted->width() >= counted->sizeHint().width());
    }
};

DOVRANE_UI_TEST_MAIN(SegmentedControlTests)
#include "SegmentedControlTests.moc"
