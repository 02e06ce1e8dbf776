#include "UiKit/AccessibleRole.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QWidget>

namespace dovrane::AccessibleRole {

namespace {

constexpr const char* roleProperty = "dovraneAccessibleRole";

class RoleWidget final : public QAccessibleWidget {
public:
    RoleWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (const QAbstractButton* button = this->button(); button && button->isCheckable()) {
            state.checkable = true;
            state.checked = button->isChecked();
            // A choice among several: the checked one is the selected one.
            state.selectable = true;
            state.selected = button->isChecked();
        }
        return state;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (button())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (QAbstractButton* button = this->button(); button && name == pressAction()) {
            if (button->isEnabled())
                button->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    QAbstractButton* button() const { return qobject_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    const QVariant role = widget->property(roleProperty);
    if (!role.isValid())
        return nullptr;
    return new RoleWidget(widget, QAccessible::Role(role.toInt()));
}

} // namespace

void set(QWidget* widget, QAccessible::Role role) { widget->setProperty(roleProperty, int(role)); }

void install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

} // namespace dovrane::AccessibleRole
