#include "StoragePage/CategoryRow.h"

#include "StorageGraphics/ColorDot.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

#include <QGridLayout>

#include <algorithm>

namespace dovrane {

namespace {

constexpr int sideMargin = 8;
constexpr int endMargin = 4;
constexpr int spacing = 8;

} // namespace

CategoryRow::CategoryRow(const Category& category, QWidget* parent) : QWidget(parent) {
    const CategoryID id = category.id;
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(sideMargin, endMargin, sideMargin, endMargin);
    grid_->setHorizontalSpacing(spacing);
    grid_->setVerticalSpacing(0);
    title_ = new StyledLabel(QString::fromStdString(Explanations::title(id)), Fonts::font(FontRole::body), {}, this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setWordWrap(true);
    // The dot stands in the middle of the title's first line.
    dotCell_ = new QWidget(this);
    dotCell_->setFixedSize(ColorDot::diameter, std::max(title_->fontMetrics().height(), int(ColorDot::diameter)));
    dot_ = new ColorDot([id] { return StorageGroups::categoryColor(id); }, dotCell_);
    dot_->move(0, (dotCell_->height() - ColorDot::diameter) / 2);
    size_ = new StyledLabel(QString(), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                            SemanticColors::secondaryText, this);
    grid_->addWidget(dotCell_, 0, 0);
    grid_->setColumnStretch(1, 1);
    arrange(true);
    setCategory(category);
}

void CategoryRow::setCategory(const Category& category, bool linuxHome) {
    setToolTip(Texts::tooltip(QString::fromStdString(Explanations::text(category.id, linuxHome))));
    size_->setText(category.sizeIsEstimate ? tr("not disclosed") : QString::fromStdString(bytes(category.size)));
    setAccessibleName(title_->text() + QStringLiteral(", ") + size_->text());
    arrange(fitsOneLine(width()));
    updateGeometry();
}

int CategoryRow::oneLineWidth() const {
    // A wrapping label's size hint is no one-line width; its line's own measure is.
    return fixedWidth() + Texts::lineWidth(title_->fontMetrics(), title_->text());
}

int CategoryRow::fixedWidth() const {
    return 2 * sideMargin + ColorDot::diameter + 2 * spacing + size_->sizeHint().width();
}

bool CategoryRow::fitsOneLine(int width) const {
    // The label's own measure, so that it never wraps where the row expects one line.
    const int titleWidth = width - fixedWidth();
    return titleWidth > 0 &&
           title_->QLabel::heightForWidth(titleWidth) <= title_->QLabel::heightForWidth(QWIDGETSIZE_MAX);
}

int CategoryRow::heightForWidth(int width) const {
    const int line = std::max(title_->fontMetrics().height(), size_->sizeHint().height());
    if (fitsOneLine(width))
        return 2 * endMargin + line;
    const int titleWidth = width - 2 * sideMargin - ColorDot::diameter - spacing;
    return 2 * endMargin + title_->QLabel::heightForWidth(titleWidth) + size_->sizeHint().height();
}

void CategoryRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrange(fitsOneLine(width()));
}

void CategoryRow::arrange(bool oneLine) {
    if (oneLine == oneLine_ && grid_->indexOf(title_) >= 0)
        return;
    oneLine_ = oneLine;
    grid_->removeWidget(title_);
    grid_->removeWidget(size_);
    // On one line everything is centred in the row; wrapped, the dot stays by the first line.
    grid_->setAlignment(dotCell_, oneLine ? Qt::AlignVCenter : Qt::AlignTop);
    title_->setAlignment(Qt::AlignLeft | (oneLine ? Qt::AlignVCenter : Qt::AlignTop));
    if (oneLine) {
        grid_->addWidget(title_, 0, 1);
        grid_->addWidget(size_, 0, 2);
    } else {
        // The size keeps its place at the row's end, a line lower.
        grid_->addWidget(title_, 0, 1, 1, 2);
        grid_->addWidget(size_, 1, 2, Qt::AlignRight);
    }
}

void CategoryRow::setSelected(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    const auto onSelection = [this] { return palette().color(QPalette::HighlightedText); };
    title_->setColor(selected ? StyledLabel::ColorSource(onSelection) : StyledLabel::ColorSource());
    size_->setColor(selected ? StyledLabel::ColorSource(onSelection) : StyledLabel::ColorSource([] {
        return SemanticColors::of(SemanticColor::secondaryLabel);
    }));
    dot_->setOutline(selected ? ColorDot::ColorSource(onSelection) : ColorDot::ColorSource());
}

QString CategoryRow::title() const { return title_->text(); }
QString CategoryRow::sizeText() const { return size_->text(); }

} // namespace dovrane
