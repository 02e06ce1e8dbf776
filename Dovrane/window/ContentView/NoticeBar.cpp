#include "ContentView/NoticeBar.h"

#include "UiKit/Fonts.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QHBoxLayout>
#include <QPainter>

namespace dovrane {

NoticeBar::NoticeBar(const QString& text, std::function<void()> close, QWidget* parent)
    : QWidget(parent), onClose_(std::move(close)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 8, 20, 8);
    row->setSpacing(8);

    mark_ = new SymbolView(
        QStringLiteral("checkmark.circle"), 16, [this] { return SemanticColors::tint(*this); }, this);
    row->addWidget(mark_, 0, Qt::AlignVCenter);

    // The model sets finished text: never looked up, never read as markup.
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setFont(Fonts::font(FontRole::body));
    text_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(text_, 1, Qt::AlignVCenter);

    close_ = new QToolButton(this);
    close_->setIcon(Symbols::buttonIcon(QStringLiteral("xmark")));
    close_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    close_->setAutoRaise(true);
    close_->setToolTip(tr("Close"));
    close_->setAccessibleName(tr("Close"));
    connect(close_, &QToolButton::clicked, this, [this] {
        // A copy: closing may delete this bar while the callback runs.
        if (const auto closing = onClose_)
            closing();
    });
    row->addWidget(close_, 0, Qt::AlignVCenter);

    setText(text);
}

void NoticeBar::setText(const QString& text) {
    text_->setText(text);
    // Cut after the third line: the label keeps its text but shows no more than three lines.
    text_->setMaximumHeight(text_->fontMetrics().lineSpacing() * maximumLines);
}

void NoticeBar::setWarning(bool warning) {
    warning_ = warning;
    mark_->setSymbol(warning ? QStringLiteral("exclamationmark.circle") : QStringLiteral("checkmark.circle"));
}

void NoticeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), SemanticColors::withOpacity(SemanticColors::tint(*this), 0.08));
}

} // namespace dovrane
