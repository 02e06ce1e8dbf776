#include "Sheets/SheetParts.h"

#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QDialog>
#include <QHBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {
// What a body shows at the least, in lines of text.
constexpr int leastLines = 6;
} // namespace

SheetBody::SheetBody(QWidget* content, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus); // Tab goes to the controls, each scrolled into view
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    // The sheet's own background shows through.
    viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    setWidget(content);
}

int SheetBody::heightForWidth(int width) const {
    const QWidget* content = widget();
    const int inner = width - 2 * frameWidth();
    return 2 * frameWidth() +
           (content->hasHeightForWidth() ? content->heightForWidth(inner) : content->sizeHint().height());
}

QSize SheetBody::sizeHint() const {
    const int width = widget()->sizeHint().width() + 2 * frameWidth();
    return {width, heightForWidth(this->width() > 0 ? this->width() : width)};
}

QSize SheetBody::minimumSizeHint() const {
    return {widget()->minimumSizeHint().width(),
            std::min(leastLines * fontMetrics().lineSpacing(), sizeHint().height())};
}

} // namespace dovrane

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
