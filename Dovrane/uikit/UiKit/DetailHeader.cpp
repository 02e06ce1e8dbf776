#include "UiKit/DetailHeader.h"

#include "StorageGraphics/SafetyBadge.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

// What a style decides: the fonts (the title's in semibold, the size's with even digits), how
// many lines the explanation may take (0: no limit), the margins and spacing, and whether the
// size stands at the end of the title's row or under it.
struct Setup {
    FontRole title, size, explanation;
    int explanationLines, margin, spacing;
    bool sizeBesideTitle;
};

Setup setup(DetailHeader::Style style) {
    switch (style) {
    case DetailHeader::Style::pane:
        return {FontRole::title2, FontRole::title2, FontRole::body, 4, 20, 8, true};
    case DetailHeader::Style::welcome:
        return {FontRole::largeTitle, FontRole::title3, FontRole::title3, 0, 0, 8, false};
    case DetailHeader::Style::sheet:
        break;
    }
    return {FontRole::title2, FontRole::title3, FontRole::body, 0, 0, 4, false};
}

// The title's row: the title, the badge on its last line and, in a pane, the size at the row's
// end, all on one baseline while the whole title fits beside the size. When it does not, the
// title wraps and the size goes under it, so neither is cut.
class TitleRowLayout final : public QLayout {
public:
    TitleRowLayout(QLabel* title, QWidget* badge, QLabel* size) : title_(title), badge_(badge), size_(size) {
        setContentsMargins(0, 0, 0, 0);
        setSpacing(8);
        for (QWidget* widget : std::initializer_list<QWidget*>{title_, badge_, size_})
            if (widget)
                items_.push_back(new QWidgetItem(widget));
    }
    ~TitleRowLayout() override { qDeleteAll(items_); }

    void addItem(QLayoutItem* item) override { items_.push_back(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override {
        return index >= 0 && index < count() ? items_[std::size_t(index)] : nullptr;
    }
    QLayoutItem* takeAt(int index) override {
        if (index < 0 || index >= count())
            return nullptr;
        QLayoutItem* item = items_[std::size_t(index)];
        items_.erase(items_.begin() + index);
        return item;
    }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return place(QRect(0, 0, width, 0)).height; }
    QSize sizeHint() const override {
        const int width = oneLineWidth();
        return {width, heightForWidth(width)};
    }
    QSize minimumSize() const override { return {0, title_->fontMetrics().height()}; }
    void setGeometry(const QRect& area) override {
        QLayout::setGeometry(area);
        const Placement placed = place(area);
        title_->setGeometry(placed.title);
        if (shows(badge_))
            badge_->setGeometry(placed.badge);
        if (shows(size_))
            size_->setGeometry(placed.size);
    }

private:
    struct Placement {
        QRect title, badge, size;
        int height;
    };

    static bool shows(const QWidget* widget) { return widget && !widget->isHidden(); }

    int titleLineWidth() const {
        const QMargins margins = title_->contentsMargins();
        return Texts::lineWidth(title_->fontMetrics(), title_->text()) + margins.left() + margins.right();
    }
    int badgeRoom() const { return shows(badge_) ? spacing() + badge_->sizeHint().width() : 0; }
    int oneLineWidth() const {
        return titleLineWidth() + badgeRoom() + (shows(size_) ? spacing() + size_->sizeHint().width() : 0);
    }

    Placement place(const QRect& area) const {
        Placement placed;
        const QSize badge = shows(badge_) ? badge_->sizeHint() : QSize();
        const QSize size = shows(size_) ? size_->sizeHint() : QSize();
        if (oneLineWidth() <= area.width()) {
            const int titleWidth = titleLineWidth();
            const int titleHeight = title_->heightForWidth(titleWidth);
            placed.height = std::max({titleHeight, badge.height(), size.height()});
            const int bottom = area.y() + placed.height;
            placed.title = QRect(area.x(), bottom - titleHeight, titleWidth, titleHeight);
            placed.badge =
                QRect(placed.title.right() + 1 + spacing(), bottom - badge.height(), badge.width(), badge.height());
            placed.size = QRect(area.right() + 1 - size.width(), bottom - size.height(), size.width(), size.height());
            return placed;
        }
        const int titleWidth = std::max(1, std::min(titleLineWidth(), area.width() - badgeRoom()));
        const int titleHeight = title_->heightForWidth(titleWidth);
        const int rowHeight = std::max(titleHeight, badge.height());
        placed.title = QRect(area.x(), area.y() + rowHeight - titleHeight, titleWidth, titleHeight);
        placed.badge = QRect(placed.title.right() + 1 + spacing(), area.y() + rowHeight - badge.height(), badge.width(),
                             badge.height());
        placed.height = rowHeight;
        if (shows(size_)) {
            placed.size = QRect(area.x(), area.y() + rowHeight + spacing() / 2, std::min(size.width(), area.width()),
                                size.height());
            placed.height = placed.size.bottom() + 1 - area.y();
        }
        return placed;
    }

    QLabel* title_;
    QWidget* badge_;
    QLabel* size_;
    std::vector<QLayoutItem*> items_;
};

} // namespace

DetailHeader::DetailHeader(Style style, Content content, QWidget* parent) : QWidget(parent) {
    const Setup chosen = setup(style);
    lines_ = new QVBoxLayout(this);
    lines_->setContentsMargins(chosen.margin, chosen.margin, chosen.margin, chosen.margin);
    lines_->setSpacing(chosen.spacing);
    title_ = new StyledLabel(content.title, Fonts::font(chosen.title, QFont::DemiBold), {}, this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);
    title_->setWordWrap(true);
    // The badge stands on the title's baseline.
    badgeSlot_ = new QWidget(this);
    auto* badgeLayout = new QHBoxLayout(badgeSlot_);
    badgeLayout->setContentsMargins(0, 0, 0, title_->fontMetrics().descent());
    badgeSlot_->hide();
    size_ = new ElidedLabel(content.size, Fonts::monospacedDigits(Fonts::font(chosen.size)),
                            SemanticColors::secondaryText, this);
    size_->setObjectName(QStringLiteral("size"));
    size_->setVisible(!content.size.isEmpty());
    lines_->addLayout(new TitleRowLayout(title_, badgeSlot_, chosen.sizeBesideTitle ? size_ : nullptr));
    if (!chosen.sizeBesideTitle)
        lines_->addWidget(size_);
    explanation_ = new LineLimitedLabel(content.explanation, chosen.explanationLines, Fonts::font(chosen.explanation),
                                        SemanticColors::secondaryText, this);
    explanation_->setVisible(!content.explanation.isEmpty());
    lines_->addWidget(explanation_);
}

void DetailHeader::setTitle(const QString& title) { title_->setText(title); }

void DetailHeader::setSafety(Safety safety) {
    delete badge_;
    badge_ = new SafetyBadge(safety, badgeSlot_);
    badgeSlot_->layout()->addWidget(badge_);
    badgeSlot_->show();
}

void DetailHeader::setSize(const QString& size) {
    size_->setFullText(size);
    size_->setVisible(!size.isEmpty());
}

void DetailHeader::setExplanation(const QString& explanation) {
    explanation_->setFullText(explanation);
    explanation_->setVisible(!explanation.isEmpty());
}

void DetailHeader::addLine(QWidget* line) { lines_->addWidget(line); }

} // namespace dovrane
