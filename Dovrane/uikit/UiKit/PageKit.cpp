#include "UiKit/PageKit.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/FocusRing.h"
#include "UiKit/SemanticColors.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

ContentUnavailableView::ContentUnavailableView(const QString& title, const QString& symbol, const QString& description,
                                               QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addStretch(1);
    column->addWidget(new SymbolView(symbol, 40, SemanticColors::secondaryText, this), 0, Qt::AlignHCenter);
    column->addSpacing(4);
    title_ = new StyledLabel(title, Fonts::system(17, QFont::Bold), {}, this);
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    column->addWidget(title_);
    description_ = new StyledLabel(description, Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
    description_->setAlignment(Qt::AlignCenter);
    description_->setWordWrap(true);
    description_->setVisible(!description.isEmpty());
    column->addWidget(description_);
    makeButton(ButtonStyle::bordered);
    column->addWidget(button_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    setAccessibleName(title);
}

void ContentUnavailableView::setDescription(const QString& description) {
    description_->setText(description);
    description_->setVisible(!description.isEmpty());
}

void ContentUnavailableView::makeButton(ButtonStyle style) {
    button_ = style == ButtonStyle::prominent ? new ProminentButton(QString(), this) : new QPushButton(this);
    button_->hide();
    connect(button_, &QPushButton::clicked, this, [this] {
        // A copy: the action may set the view's next action while it runs.
        if (const auto action = action_)
            action();
    });
}

void ContentUnavailableView::setAction(const QString& text, std::function<void()> action, ButtonStyle style) {
    action_ = std::move(action);
    if ((style == ButtonStyle::prominent) != bool(qobject_cast<ProminentButton*>(button_))) {
        QPushButton* old = button_;
        makeButton(style);
        button_->setDefault(old->isDefault());
        delete layout()->replaceWidget(old, button_);
        // Later: the old button may be the one whose click is being answered.
        old->hide();
        old->deleteLater();
    }
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

namespace {

// Widgets in a row at their own sizes, aligned to the trailing edge; what does not fit starts
// another row below.
class WrappingRow final : public QLayout {
public:
    explicit WrappingRow(QWidget* parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~WrappingRow() override {
        while (QLayoutItem* item = WrappingRow::takeAt(0))
            delete item;
    }
    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override {
        int width = 0, height = 0;
        for (const QLayoutItem* item : shown()) {
            width += (width > 0 ? spacing() : 0) + item->sizeHint().width();
            height = std::max(height, item->sizeHint().height());
        }
        return {width, height};
    }
    QSize minimumSize() const override {
        int width = 0;
        for (const QLayoutItem* item : shown())
            width = std::max(width, item->sizeHint().width());
        return {width, heightForWidth(width)};
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }

private:
    QList<QLayoutItem*> shown() const {
        QList<QLayoutItem*> items;
        for (QLayoutItem* item : items_)
            if (!item->isEmpty())
                items.append(item);
        return items;
    }

    // The height the rows take at the rectangle's width; places the items when asked.
    int arrange(const QRect& rect, bool place) const {
        const QList<QLayoutItem*> items = shown();
        int top = rect.top();
        for (qsizetype first = 0; first < items.size();) {
            qsizetype end = first;
            int width = 0, height = 0;
            while (end < items.size()) {
                const QSize hint = items[end]->sizeHint();
                const int wider = width + (end > first ? spacing() : 0) + hint.width();
                if (end > first && wider > rect.width())
                    break;
                width = wider;
                height = std::max(height, hint.height());
                ++end;
            }
            if (place) {
                int left = rect.right() + 1 - width;
                for (qsizetype i = first; i < end; ++i) {
                    const QSize hint = items[i]->sizeHint();
                    items[i]->setGeometry(QRect(QPoint(left, top + (height - hint.height()) / 2), hint));
                    left += hint.width() + spacing();
                }
            }
            top += height + (end < items.size() ? spacing() : 0);
            first = end;
        }
        return top - rect.top();
    }

    QList<QLayoutItem*> items_;
};

} // namespace

ProminentButton::ProminentButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {}

void ProminentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).adjusted(1, 1, -1, -1);
    QColor fill = palette().color(QPalette::Active, QPalette::Highlight);
    QColor ink = palette().color(QPalette::Active, QPalette::HighlightedText);
    if (!isEnabled()) {
        fill.setAlphaF(0.4);
        ink.setAlphaF(0.7);
    } else if (isDown()) {
        fill = fill.darker(115);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, 6, 6);
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    // On the accent's fill the accent's ring would vanish: a ring in the title's colour, 2 px in
    // from the fill's edge.
    if (hasFocus())
        FocusRing::paint(painter, shape.adjusted(2, 2, -2, -2), 4, ink);
}

QProgressBar* makeBusyIndicator(QWidget* parent) {
    auto* busy = new QProgressBar(parent);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedSize(48, 12);
    busy->setAccessibleName(QCoreApplication::translate("BusyIndicator", "Busy"));
    return busy;
}

FooterBar::FooterBar(QWidget* parent) : QWidget(parent) {
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(20, 12, 20, 12);
    row_->setSpacing(8);
    summary_ = new StyledLabel(QString(), Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
    summary_->setWordWrap(true);
    row_->addWidget(summary_, 1);
    buttons_ = new QWidget(this);
    (new WrappingRow(buttons_))->setSpacing(buttonSpacing());
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    buttons_->setSizePolicy(policy);
    row_->addWidget(buttons_);
}

void FooterBar::setSummary(const QString& summary) { summary_->setText(summary); }

void FooterBar::addNote(QWidget* note) { row_->insertWidget(row_->indexOf(summary_) + 1, note); }

void FooterBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The summary beside the buttons wants room for a few words.
    const int summaryRoom = summary_->fontMetrics().averageCharWidth() * 16;
    const QMargins margins = row_->contentsMargins();
    int wanted = margins.left() + margins.right() + summaryRoom + buttons_->sizeHint().width();
    for (int i = 0; i < row_->count(); ++i)
        if (QWidget* other = row_->itemAt(i)->widget();
            other && other != summary_ && other != buttons_ && !other->isHidden())
            wanted += other->sizeHint().width() + row_->spacing();
    const auto direction = width() >= wanted ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (row_->direction() != direction)
        row_->setDirection(direction);
}

void FooterBar::addAction(QWidget* action) {
    if (qobject_cast<QAbstractButton*>(action)) {
        action->setParent(buttons_);
        buttons_->layout()->addWidget(action);
    } else {
        row_->insertWidget(row_->indexOf(buttons_), action);
    }
}

} // namespace dovrane
