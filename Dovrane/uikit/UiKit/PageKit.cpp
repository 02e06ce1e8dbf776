#include "UiKit/PageKit.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace dovrane {

namespace {
QColor secondary() { return SemanticColors::of(SemanticColor::secondaryLabel); }
} // namespace

ContentUnavailableView::ContentUnavailableView(const QString& title, const QString& symbol, const QString& description,
                                               QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addStretch(1);
    column->addWidget(new SymbolView(symbol, 40, secondary, this), 0, Qt::AlignHCenter);
    column->addSpacing(4);
    title_ = new StyledLabel(title, Fonts::system(17, QFont::Bold), {}, this);
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    column->addWidget(title_);
    description_ = new StyledLabel(description, Fonts::font(FontRole::body), secondary, this);
    description_->setAlignment(Qt::AlignCenter);
    description_->setWordWrap(true);
    description_->setVisible(!description.isEmpty());
    column->addWidget(description_);
    button_ = new QPushButton(this);
    button_->hide();
    connect(button_, &QPushButton::clicked, this, [this] {
        if (action_)
            action_();
    });
    column->addWidget(button_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    setAccessibleName(title);
}

void ContentUnavailableView::setDescription(const QString& description) {
    description_->setText(description);
    description_->setVisible(!description.isEmpty());
}

void ContentUnavailableView::setAction(const QString& text, std::function<void()> action) {
    action_ = std::move(action);
    button_->setText(text);
    button_->setVisible(!text.isEmpty());
}

Card::Card(QWidget* parent) : QFrame(parent) {
    AccessibleRole::set(this, QAccessible::Grouping);
    setFrameShape(QFrame::NoFrame);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
}

QVBoxLayout* Card::contentLayout() const { return static_cast<QVBoxLayout*>(layout()); }

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, SemanticColors::of(SemanticColor::secondaryWindowBackground));
}

Divider::Divider(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), SemanticColors::of(SemanticColor::separator));
}

FooterBar::FooterBar(QWidget* parent) : QWidget(parent) {
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(20, 12, 20, 12);
    row_->setSpacing(8);
    summary_ = new StyledLabel(QString(), Fonts::font(FontRole::body), secondary, this);
    row_->addWidget(summary_);
    row_->addStretch(1);
}

void FooterBar::setSummary(const QString& summary) { summary_->setText(summary); }

void FooterBar::addNote(QWidget* note) { row_->insertWidget(row_->indexOf(summary_) + 1, note); }

void FooterBar::addAction(QWidget* action) { row_->addWidget(action); }

} // namespace dovrane
