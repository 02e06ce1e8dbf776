#include "Sheets/SheetParts.h"

#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QDialog>
#include <QHBoxLayout>

namespace dovrane::SheetParts {

QWidget* symbolLabel(const QString& symbol, const QString& text, const QFont& font, StyledLabel::ColorSource color,
                     QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const int pixels = QFontMetrics(font).ascent();
    layout->addWidget(
        new SymbolView(symbol, pixels, color ? color : StyledLabel::ColorSource(SemanticColors::secondaryText), row), 0,
        Qt::AlignTop);
    auto* label = new StyledLabel(text, font, color, row);
    label->setWordWrap(true);
    layout->addWidget(label, 1);
    return row;
}

QPushButton* confirmButton(const QString& title, std::function<void()> action, QWidget* parent) {
    auto* button = new ProminentButton(title, parent);
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, button, [button, action = std::move(action)] {
        if (!button->isEnabled())
            return;
        button->setEnabled(false);
        action();
    });
    return button;
}

QPushButton* cancelButton(const QString& title, QDialog* dialog, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
    return button;
}

} // namespace dovrane::SheetParts
