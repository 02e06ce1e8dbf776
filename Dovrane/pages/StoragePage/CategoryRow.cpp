#include "StoragePage/CategoryRow.h"

#include "StorageGraphics/ColorDot.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

#include <QHBoxLayout>

namespace dovrane {

CategoryRow::CategoryRow(const Category& category, QWidget* parent) : QWidget(parent) {
    const CategoryID id = category.id;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(8);
    dot_ = new ColorDot([id] { return StorageGroups::categoryColor(id); }, this);
    row->addWidget(dot_, 0, Qt::AlignVCenter);
    title_ = new ElidedLabel(QString::fromStdString(Explanations::title(id)), Fonts::font(FontRole::body), {}, this);
    row->addWidget(title_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    // The size stays whole; the title gives way.
    size_ = new StyledLabel(QString(), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                            SemanticColors::secondaryText, this);
    row->addWidget(size_, 0, Qt::AlignVCenter);
    setCategory(category);
}

void CategoryRow::setCategory(const Category& category, bool linuxHome) {
    setToolTip(Texts::tooltip(QString::fromStdString(Explanations::text(category.id, linuxHome))));
    size_->setText(category.sizeIsEstimate ? tr("not disclosed") : QString::fromStdString(bytes(category.size)));
    setAccessibleName(title_->fullText() + QStringLiteral(", ") + size_->text());
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

QString CategoryRow::title() const { return title_->fullText(); }
QString CategoryRow::sizeText() const { return size_->text(); }

} // namespace dovrane
