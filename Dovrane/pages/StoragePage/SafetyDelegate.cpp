#include "StoragePage/SafetyDelegate.h"

#include "StorageGraphics/SafetyBadge.h"
#include "StoragePage/CategoryItemsModel.h"
#include "UiKit/Fonts.h"
#include "UiKit/Symbols.h"

#include <QPainter>

namespace dovrane {

// Room for what paint draws: the symbol, the label in the caption font, the cell's margins.
QSize SafetyDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QFontMetrics metrics(Fonts::font(FontRole::caption));
    const int side = metrics.height();
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return {4 + side + 3 + metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4, base.height()};
}

void SafetyDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const auto safety = Safety(index.data(CategoryItemsModel::shownSafetyRole).toInt());
    const QFont font = Fonts::font(FontRole::caption);
    const QFontMetrics metrics(font);
    // On a selected row the badge takes the selection's text colour, as the other cells do.
    const QColor color = option.state.testFlag(QStyle::State_Selected) ? option.palette.color(QPalette::HighlightedText)
                                                                       : SafetyBadge::color(safety);
    const int side = metrics.height();
    const QRect cell = option.rect.adjusted(4, 0, -4, 0);
    const int top = cell.top() + (cell.height() - side) / 2;
    painter->save();
    painter->drawPixmap(QRect(cell.left(), top, side, side), Symbols::pixmap(SafetyBadge::symbol(safety), side, color,
                                                                             painter->device()->devicePixelRatioF()));
    painter->setFont(font);
    painter->setPen(color);
    painter->drawText(
        cell.adjusted(side + 3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeading,
        metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, cell.width() - side - 3));
    painter->restore();
}

} // namespace dovrane
