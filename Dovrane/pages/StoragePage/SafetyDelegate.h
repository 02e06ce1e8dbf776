#pragma once
// The Safety column of a category's items: the badge's symbol and label in its colour, painted
// per cell from the rating the model gives in CategoryItemsModel::shownSafetyRole.

#include <QStyledItemDelegate>

namespace dovrane {

class SafetyDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace dovrane
