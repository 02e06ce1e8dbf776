// Keyboard focus and what assistive technology hears of custom widgets: a check box row toggles
// from anywhere on it and shows the accent ring only while focused; a role given to a custom
// button reports its state and presses it; and a widget taking the focus inside a scroll area,
// from outside it, is scrolled into view.

#include "UiKit/AccessibleRole.h"
#include "UiKit/CheckRow.h"
#include "UiKit/FocusRing.h"
#include "UiTestMain.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace dovrane;

namespace {

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 48;
}

// A row with a label in its content, in a window of its own.
struct Row {
    QWidget window;
    CheckRow* row = new CheckRow(&window);
    QLabel* label = new QLabel(QStringLiteral("com.example.editor"));
    Row() {
        row->content()->addWidget(label, 1);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(row);
        layout->addWidget(new QLineEdit); // somewhere else for the focus to be
        window.resize(320, 80);
        window.show();
        QApplication::setActiveWindow(&window);
    }
};

} // namespace

class FocusTests : public QObject {
    Q_OBJECT

private slots:
    void aCheckRowTogglesFromAnywhereOnIt() {
        Row shown;
        QTest::mouseClick(shown.label, Qt::LeftButton); // the text passes its click to the row
        QVERIFY(shown.row->isChecked());
        QTest::mouseClick(shown.row, Qt::LeftButton, {}, QPoint(shown.row->width() - 2, shown.row->height() / 2));
        QVERIFY(!shown.row->isChecked());
        shown.row->setFocus();
        QTest::keyClick(shown.row, Qt::Key_Space);
        QVERIFY(shown.row->isChecked());

        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(shown.row);
        QCOMPARE(box->role(), QAccessible::CheckBox);
        QVERIFY(box->state().checked);
        shown.row->setEnabled(false);
        QTest::mouseClick(shown.label, Qt::LeftButton);
        QVERIFY(shown.row->isChecked());
        QVERIFY(box->state().disabled);
    }

    void aCheckRowWearsTheAccentRingOnlyWhileFocused() {
        Row shown;
        const QPoint edge(shown.row->width() / 2, 1);
        shown.row->clearFocus();
        QVERIFY(!near(shown.row->grab().toImage().pixelColor(edge), FocusRing::color()));
        shown.row->setFocus();
        QVERIFY(shown.row->hasFocus());
        QVERIFY(near(shown.row->grab().toImage().pixelColor(edge), FocusRing::color()));
    }

    void anAttachedRingFollowsTheFocus() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* link = new QPushButton(QStringLiteral("Release notes"));
        link->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; }"));
        FocusRing::attach(link);
        auto* other = new QLineEdit;
        layout->addWidget(link);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
        link->resize(140, 24);
        const QPoint edge(70, 1);
        other->setFocus();
        QVERIFY(!near(link->grab().toImage().pixelColor(edge), FocusRing::color()));
        link->setFocus();
        QVERIFY(near(link->grab().toImage().pixelColor(edge), FocusRing::color()));
        int clicks = 0;
        QObject::connect(link, &QPushButton::clicked, &window, [&] { ++clicks; });
        QTest::mouseClick(link, Qt::LeftButton); // the ring lets the click through
        QCOMPARE(clicks, 1);
    }

    void aRoleReportsAChoiceAndPressesIt() {
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        QPushButton* choices[2];
        for (QPushButton*& choice : choices) {
            choice = new QPushButton;
            AccessibleRole::set(choice, QAccessible::RadioButton);
            choice->setAccessibleName(QStringLiteral("Blue"));
            choice->setCheckable(true);
            layout->addWidget(choice);
        }
        choices[0]->setChecked(true);
        int presses = 0;
        QObject::connect(choices[1], &QPushButton::clicked, &window, [&] { ++presses; });

        QAccessibleInterface* chosen = QAccessible::queryAccessibleInterface(choices[0]);
        QAccessibleInterface* other = QAccessible::queryAccessibleInterface(choices[1]);
        QCOMPARE(chosen->role(), QAccessible::RadioButton);
        QCOMPARE(chosen->text(QAccessible::Name), QStringLiteral("Blue"));
        QVERIFY(chosen->state().selected && chosen->state().checked);
        QVERIFY(!other->state().selected && !other->state().checked);

        other->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(presses, 1);
        QVERIFY(other->state().checked);
        choices[1]->setEnabled(false);
        other->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(presses, 1); // a disabled control cannot be pressed this way either
    }

    void focusComingFromOutsideScrollsIntoView() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* outside = new QLineEdit;
        layout->addWidget(outside);
        auto* area = new QScrollArea;
        auto* content = new QWidget;
        auto* column = new QVBoxLayout(content);
        QPushButton* last = nullptr;
        for (int i = 0; i < 40; ++i)
            column->addWidget(last = new QPushButton(QString::number(i)));
        area->setWidget(content);
        area->setFixedHeight(120);
        layout->addWidget(area);
        window.show();
        QApplication::setActiveWindow(&window);
        outside->setFocus();
        QCOMPARE(area->verticalScrollBar()->value(), 0);

        // Shift+Tab from the field above wraps to the last button, far below the fold.
        QTest::keyClick(outside, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), last);
        const QRect shown(last->mapTo(area->viewport(), QPoint(0, 0)), last->size());
        QVERIFY(area->viewport()->rect().contains(shown));
    }
};

DOVRANE_UI_TEST_MAIN(FocusTests)
#include "FocusTests.moc"
