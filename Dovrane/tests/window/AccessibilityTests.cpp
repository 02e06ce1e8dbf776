// What assistive technology finds in every view over the demo data: each control the keyboard
// can reach is in the accessibility tree with a name and the role of a control; buttons in one view are told apart by
// their names; charts say in words what their colours show; and the uninstall sheet's leftovers
// are check boxes that report and change what the sheet would move.

#include "QtWaits.h"
#include "Sheets/UninstallSheet.h"
#include "ViewTour.h"
#include "support/ModelTestMain.h"

#include <QAccessible>
#include <QSet>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Every interface below root, depth first; cells of item views included.
void walk(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& found, int depth = 0) {
    if (!node || depth > 64)
        return;
    found.push_back(node);
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), found, depth + 1);
}

std::vector<QAccessibleInterface*> tree(QWidget& root) {
    std::vector<QAccessibleInterface*> found;
    walk(QAccessible::queryAccessibleInterface(&root), found);
    return found;
}

bool takesTab(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled();
}

QString describe(const QWidget* widget) {
    return QStringLiteral("%1 \"%2\"").arg(widget->metaObject()->className(), widget->objectName());
}

// A role that assistive technology presents as something the keyboard works: a focus stop with
// any other (a bare pane, a scroll area) gives a screen reader nothing to say where the focus is.
bool isControl(QAccessible::Role role) {
    static const QSet<QAccessible::Role> controls = {
        QAccessible::PushButton,     QAccessible::CheckBox, QAccessible::RadioButton,  QAccessible::ButtonMenu,
        QAccessible::ButtonDropDown, QAccessible::ComboBox, QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::Slider,         QAccessible::List,     QAccessible::ListItem,     QAccessible::Table,
        QAccessible::Tree,           QAccessible::TreeItem, QAccessible::PageTabList,  QAccessible::PageTab,
        QAccessible::Link,           QAccessible::MenuItem};
    return controls.contains(role);
}

bool isButton(QAccessible::Role role) {
    return role == QAccessible::PushButton || role == QAccessible::CheckBox || role == QAccessible::RadioButton ||
           role == QAccessible::ButtonMenu;
}

} // namespace

class AccessibilityTests : public QObject {
    Q_OBJECT

private slots:
    void everyReachableControlIsInTheTreeWithAName() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        int views = 0;
        tour.forEachView([&](const QString& view, QWidget& root) {
            ++views;
            QSet<QWidget*> inTree;
            for (QAccessibleInterface* node : tree(root))
                if (auto* widget = qobject_cast<QWidget*>(node->object());
                    widget && QAccessible::queryAccessibleInterface(widget) == node)
                    inTree.insert(widget);
            for (QWidget* widget : root.findChildren<QWidget*>()) {
                // A widget that hands its focus to another (a tab widget to its tab bar) is checked as that one.
                if (!takesTab(widget) || widget->window() != &root || widget->focusProxy())
                    continue;
                const QString what = view + ": " + describe(widget);
                QVERIFY2(inTree.contains(widget), qPrintable(what + " is not in the tree"));
                QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
                const QString name = node->text(QAccessible::Name);
                QVERIFY2(!name.trimmed().isEmpty(), qPrintable(what + " has no name"));
                QVERIFY2(isControl(node->role()),
                         qPrintable(QStringLiteral("%1 takes the focus as role %2").arg(what).arg(int(node->role()))));
                QVERIFY2(node->state().focusable, qPrintable(what + " is not told focusable"));
            }
            // A list's rows say what they are, also where a row is drawn by a widget of its own.
            for (QAccessibleInterface* node : tree(root))
                if (node->role() == QAccessible::ListItem && !node->state().invisible)
                    QVERIFY2(!node->text(QAccessible::Name).trimmed().isEmpty(),
                             qPrintable(view + ": an unnamed row in " + node->parent()->text(QAccessible::Name)));
        });
        QCOMPARE(views, 6 + 4 + 1 + 3);
    }

    void buttonsOfOneViewHaveNamesOfTheirOwn() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        tour.forEachView([&](const QString& view, QWidget& root) {
            QHash<QString, QAccessibleInterface*> named;
            for (QAccessibleInterface* node : tree(root)) {
                auto* widget = qobject_cast<QWidget*>(node->object());
                if (!widget || widget->window() != &root || !widget->isVisible() || !isButton(node->role()) ||
                    QAccessible::queryAccessibleInterface(widget) != node)
                    continue;
                const QString name = node->text(QAccessible::Name);
                QVERIFY2(!named.contains(name),
                         qPrintable(QStringLiteral("%1: two buttons read \"%2\"").arg(view, name)));
                named.insert(name, node);
            }
        });
    }

    void leftoversAreCheckBoxesThatChangeWhatMoves() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        (void)tour.model.requestUninstall(tour.model.apps().front());
        auto* sheet = qobject_cast<UninstallSheet*>(tour.awaitSheet());
        QVERIFY(sheet);
        const std::vector<Leftover>& leftovers = sheet->request().leftovers;
        QVERIFY(leftovers.size() >= 2);

        std::vector<QAccessibleInterface*> boxes;
        for (QAccessibleInterface* node : tree(*sheet))
            if (node->role() == QAccessible::CheckBox)
                boxes.push_back(node);
        QCOMPARE(boxes.size(), leftovers.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const QString name = boxes[i]->text(QAccessible::Name);
            QVERIFY2(name.startsWith(QString::fromStdString(leftovers[i].url.lastPathComponent()) + ", "),
                     qPrintable(name));
            QCOMPARE(bool(boxes[i]->state().checked), sheet->isChecked(leftovers[i]));
            QVERIFY(boxes[i]->state().checkable);
        }

        // Toggling through the accessible action changes the sheet's request and its total.
        QAccessibleActionInterface* action = boxes[1]->actionInterface();
        QVERIFY(action);
        const bool was = sheet->isChecked(leftovers[1]);
        const std::int64_t total = sheet->total();
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        action->doAction(QAccessibleActionInterface::toggleAction());
        DOVRANE_TRY_COMPARE(sheet->isChecked(leftovers[1]), !was);
        QCOMPARE(bool(boxes[1]->state().checked), !was);
        QCOMPARE(sheet->total(), total + (was ? -leftovers[1].size : leftovers[1].size));
        QCOMPARE(sheet->isChecked(leftovers[0]), bool(boxes[0]->state().checked)); // the others stay
    }

    // The storage bar and ring show sizes by colour alone; they say them in words.
    void chartsSayWhatTheirColoursShow() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        int charts = 0;
        tour.forEachView([&](const QString& view, QWidget& root) {
            for (QAccessibleInterface* node : tree(root))
                if (node->role() == QAccessible::Chart && !node->state().invisible) {
                    ++charts;
                    QVERIFY2(!node->text(QAccessible::Name).isEmpty(), qPrintable(view));
                    QVERIFY2(node->childCount() > 0 || !node->text(QAccessible::Description).isEmpty(),
                             qPrintable(view + ": a chart with no parts in words"));
                }
        });
        QVERIFY(charts >= 2);
    }
};

DOVRANE_MODEL_SUITE(AccessibilityTests)
#include "AccessibilityTests.moc"
