#include "StoragePage/CategoryRow.h"

#include "StorageGraphics/ColorDot.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/Explanations.h>

#include <QHBoxLayout>

namespace dovrane {

CategoryRow::CategoryRow(const Category& category, QWidget* parent) : QWidget(parent) {
    const CategoryID id = category.id;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(8);
    row->addWidget(new ColorDot([id] { return StorageGroups::categoryColor(id); }, this), 0, Qt::AlignVCenter);
    title_ = new StyledLabel(QString::fromStdString(Explanations::title(id)), Fonts::font(FontRole::body), {}, this);
    title_->setWordWrap(false);
    row->addWidget(title_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    size_ = new StyledLabel(
        QString(), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
        [] { return SemanticColors::of(SemanticColor::secondaryLabel); }, this);
    row->addWidget(size_, 0, Qt::AlignVCenter);
    setToolTip(Texts::tooltip(QString::fromStdString(Explanations::text(id))));
    setCategory(category);
}

void CategoryRow::setCategory(const Category& category) {
    size_->setText(category.sizeIsEstimate ? tr("not disclosed") : QString::fromStdString(bytes(category.size)));
    setAccessibleName(title_->text() + QStringLiteral(", ") + size_->text());
}

QString CategoryRow::title() const { return title_->text(); }
QString CategoryRow::sizeText() const { return size_->text(); }

} // namespace dovrane
