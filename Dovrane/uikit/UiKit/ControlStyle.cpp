#include "UiKit/ControlStyle.h"

#include "UiKit/FocusRing.h"
#include "UiKit/SemanticColors.h"

#include <QAbstractItemView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace dovrane {

ControlStyle::ControlStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QColor ControlStyle::checkBoxFrame(const QPalette& palette) {
    const QColor field = palette.color(QPalette::Base);
    const QColor ink = palette.color(QPalette::Text);
    return QColor::fromRgbF((field.redF() + ink.redF()) / 2, (field.greenF() + ink.greenF()) / 2,
                            (field.blueF() + ink.blueF()) / 2);
}

namespace {

// On a fill of the selection the ring takes the colour of the fill's text, so it shows on any accent.
QColor ringColor(const QStyleOption& option) {
    return option.state.testFlag(QStyle::State_Selected)
               ? option.palette.color(QPalette::Active, QPalette::HighlightedText)
               : FocusRing::color();
}

// A view that picks whole rows: its current row wears the ring, not the one cell that has the focus.
const QAbstractItemView* rowPicking(const QWidget* widget) {
    const auto* view = qobject_cast<const QAbstractItemView*>(widget);
    return view && view->selectionBehavior() == QAbstractItemView::SelectRows ? view : nullptr;
}

// Where the ring of a row goes: across every column shown, at the height of the cell.
QRect rowArea(const QAbstractItemView& view, const QModelIndex& index, const QRect& cell) {
    QRect row = cell;
    for (int column = 0; column < index.model()->columnCount(index.parent()); ++column) {
        const QRect shown = view.visualRect(index.siblingAtColumn(column));
        if (!shown.isEmpty())
            row = row.united(QRect(shown.left(), cell.top(), shown.width(), cell.height()));
    }
    return row;
}

} // namespace

void ControlStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    if (element == PE_FrameFocusRect) {
        // Fusion's faint line, shown only after a key moved the focus, becomes the ring. A row of
        // a view that picks whole rows has its ring from CE_ItemViewItem.
        const bool item = option->state.testFlag(State_Item);
        if (item && rowPicking(widget))
            return;
        // An item's ring stays on the item, which is all the view repaints of it; a title's
        // stands clear of the letters.
        const qreal room = item ? 0 : 2;
        FocusRing::paint(*painter, QRectF(option->rect).adjusted(-room, -room, room, room), 4, ringColor(*option));
        return;
    }
    if (element == PE_IndicatorHeaderArrow) {
        // The header calls largest first "up" and Fusion draws that as ▲; file managers point
        // the arrow down when the largest comes first.
        if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
            QStyleOptionHeader flipped = *header;
            if (header->sortIndicator == QStyleOptionHeader::SortUp)
                flipped.sortIndicator = QStyleOptionHeader::SortDown;
            else if (header->sortIndicator == QStyleOptionHeader::SortDown)
                flipped.sortIndicator = QStyleOptionHeader::SortUp;
            QProxyStyle::drawPrimitive(element, &flipped, painter, widget);
            return;
        }
    }
    if (element == PE_FrameLineEdit && option->state.testFlag(State_HasFocus)) {
        QStyleOption unfocused = *option;
        unfocused.state &= ~State_HasFocus;
        QProxyStyle::drawPrimitive(element, &unfocused, painter, widget);
        FocusRing::paint(*painter, QRectF(option->rect), 4);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox)
        return;
    // Keyboard focus keeps the style's highlighted frame.
    if (option->state.testFlag(State_HasFocus) && option->state.testFlag(State_KeyboardFocusChange))
        return;
    // Drawn over the style's own frame, on the same half-pixel grid, so it covers it exactly.
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->translate(0.5, 0.5);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(checkBoxFrame(option->palette)));
    painter->drawRect(QRectF(option->rect.adjusted(0, 0, -1, -1)));
    painter->restore();
}

QPixmap ControlStyle::generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const {
    if (mode != QIcon::Disabled || !option || pixmap.isNull())
        return QProxyStyle::generatedIconPixmap(mode, pixmap, option);
    // The symbol's shape, in the ink of disabled text.
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), option->palette.color(QPalette::Disabled, QPalette::ButtonText));
    painter.end();
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    return result;
}

int ControlStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    // Alt pressed and let go alone puts the menu bar under the keyboard, as the desktops do.
    if (hint == SH_MenuBar_AltKeyNavigation)
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QSize ControlStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_PushButton) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button && !button->text.isEmpty()) {
            const int frame = pixelMetric(PM_DefaultFrameWidth, option, widget);
            result.setWidth(std::max(result.width(), size.width() + 2 * (frame + titlePadding)));
        }
    } else if (type == CT_ToolButton) {
        const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        // Fusion keeps 4 px beside the symbol, half on either side.
        if (tool && tool->toolButtonStyle == Qt::ToolButtonTextBesideIcon && !tool->icon.isNull() &&
            !tool->text.isEmpty())
            result.rwidth() += symbolGap - 2;
    }
    return result;
}

void ControlStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    if (element == CE_Splitter) {
        // One hairline between the panes; Fusion's grip dots would stand on the page beside it.
        painter->save();
        const QRect handle = option->rect;
        const bool across = option->state.testFlag(State_Horizontal);
        const QRect line = across ? QRect(handle.center().x(), handle.top(), 1, handle.height())
                                  : QRect(handle.left(), handle.center().y(), handle.width(), 1);
        painter->fillRect(line, SemanticColors::of(SemanticColor::separator));
        painter->restore();
        return;
    }
    if (element == CE_PushButton) {
        // Fusion marks a focused button only after a key moved the focus, and then faintly: the
        // ring is drawn whenever the button has the focus, in both looks, flat or not.
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button && button->state.testFlag(State_HasFocus)) {
            QStyleOptionButton unfocused = *button;
            unfocused.state &= ~State_HasFocus;
            QProxyStyle::drawControl(element, &unfocused, painter, widget);
            FocusRing::paint(*painter, QRectF(button->rect), 4);
            return;
        }
    }
    if (element == CE_ItemViewItem) {
        const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
        const QAbstractItemView* view = rowPicking(widget);
        if (item && view && item->index.isValid() && view->hasFocus() &&
            view->currentIndex().row() == item->index.row() && view->currentIndex().parent() == item->index.parent()) {
            QStyleOptionViewItem unfocused = *item;
            unfocused.state &= ~State_HasFocus;
            QProxyStyle::drawControl(element, &unfocused, painter, widget);
            // Each cell draws its part of the one ring round the row.
            painter->save();
            painter->setClipRect(item->rect, Qt::IntersectClip);
            FocusRing::paint(*painter, QRectF(rowArea(*view, item->index, item->rect)), 4, ringColor(*item));
            painter->restore();
            return;
        }
    }
    if ((element == CE_CheckBox || element == CE_RadioButton) && option->state.testFlag(State_HasFocus)) {
        // Round the box and its title together, clear of both, where Fusion marks the title alone.
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            QStyleOptionButton plain = *button;
            plain.state &= ~State_HasFocus;
            QProxyStyle::drawControl(element, &plain, painter, widget);
            const bool radio = element == CE_RadioButton;
            const QRect box = subElementRect(radio ? SE_RadioButtonIndicator : SE_CheckBoxIndicator, button, widget);
            const QRect title = subElementRect(radio ? SE_RadioButtonFocusRect : SE_CheckBoxFocusRect, button, widget);
            const QRectF ring = QRectF(box.united(title)).adjusted(-2, -2, 2, 2).intersected(QRectF(option->rect));
            FocusRing::paint(*painter, ring, 4);
            return;
        }
    }
    if (element == CE_MenuBarItem && option->state.testFlag(State_Selected) && !option->state.testFlag(State_Sunken) &&
        widget && widget->hasFocus()) {
        // Alt alone gives the menu bar the keyboard with its first title chosen, which Fusion
        // marks only once a menu is open.
        QProxyStyle::drawControl(element, option, painter, widget);
        FocusRing::paint(*painter, QRectF(option->rect), 4);
        return;
    }
    if (element == CE_TabBarTabLabel && option->state.testFlag(State_HasFocus)) {
        // Fusion's own faint line here does not ask this style.
        const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
        if (tab) {
            QStyleOptionTab unfocused = *tab;
            unfocused.state &= ~State_HasFocus;
            QProxyStyle::drawControl(element, &unfocused, painter, widget);
            FocusRing::paint(*painter, QRectF(tab->rect).adjusted(2, 2, -2, -2), 4);
            return;
        }
    }
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (element != CE_ToolButtonLabel || !tool || tool->toolButtonStyle != Qt::ToolButtonTextBesideIcon ||
        tool->icon.isNull() || tool->text.isEmpty()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The symbol in its cell, then the title in the rest, the gap between them.
    const QSize symbol = tool->icon.actualSize(tool->iconSize.boundedTo(tool->rect.size()));
    QStyleOptionToolButton part = *tool;
    part.toolButtonStyle = Qt::ToolButtonIconOnly;
    part.rect.setWidth(symbol.width() + 4);
    QProxyStyle::drawControl(element, &part, painter, widget);
    QRect title = tool->rect;
    title.setLeft(tool->rect.left() + symbol.width() + 2 + symbolGap);
    if (tool->state & (State_Sunken | State_On))
        title.translate(pixelMetric(PM_ButtonShiftHorizontal, tool, widget),
                        pixelMetric(PM_ButtonShiftVertical, tool, widget));
    painter->save();
    painter->setFont(tool->font);
    proxy()->drawItemText(painter, title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, tool->palette,
                          tool->state.testFlag(State_Enabled), tool->text, QPalette::ButtonText);
    painter->restore();
}

void ControlStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    // The ring goes round the whole current row of a view that picks rows; the view itself
    // repaints only the cell that had the focus and the one that has it.
    if (const QAbstractItemView* view = rowPicking(widget); view && view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, view->viewport(),
                qOverload<>(&QWidget::update), Qt::UniqueConnection);
}

QColor ControlStyle::scrollTrack(const QPalette& palette) {
    return SemanticColors::mixed(palette.color(QPalette::Base), palette.color(QPalette::Window), 0.5);
}

QColor ControlStyle::scrollHandle(const QPalette& palette, bool active) {
    // The text's colour, faint, taken no farther than the track needs to show it; held or under
    // the pointer, the handle darkens (or, in the dark look, brightens) a step.
    QColor ink = palette.color(QPalette::Text);
    ink.setAlphaF(active ? 0.55F : 0.3F);
    const double ratio = active ? SemanticColors::graphicContrast + 1 : SemanticColors::graphicContrast;
    return SemanticColors::withContrast(ink, scrollTrack(palette), ratio);
}

void ControlStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                      const QWidget* widget) const {
    // Fusion's handle is a shade lighter than its track, which in the light look leaves it all
    // but unseen: the track and the handle are drawn here, the arrows stay Fusion's.
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control == CC_ScrollBar && bar) {
        QStyleOptionSlider arrows = *bar;
        arrows.subControls &= ~(SC_ScrollBarGroove | SC_ScrollBarSlider | SC_ScrollBarAddPage | SC_ScrollBarSubPage);
        painter->save();
        if (bar->subControls & SC_ScrollBarGroove) {
            const QRect groove = subControlRect(control, bar, SC_ScrollBarGroove, widget);
            painter->fillRect(groove, scrollTrack(bar->palette));
        }
        QProxyStyle::drawComplexControl(control, &arrows, painter, widget);
        if ((bar->subControls & SC_ScrollBarSlider) && bar->maximum > bar->minimum) {
            const bool across = bar->orientation == Qt::Horizontal;
            const QRectF slider = subControlRect(control, bar, SC_ScrollBarSlider, widget);
            const QRectF handle = across ? slider.adjusted(1, 3, -1, -3) : slider.adjusted(3, 1, -3, -1);
            const bool active =
                bar->activeSubControls & SC_ScrollBarSlider && (bar->state & (State_MouseOver | State_Sunken));
            const qreal radius = std::min(handle.width(), handle.height()) / 2;
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(scrollHandle(bar->palette, active));
            painter->drawRoundedRect(handle, radius, radius);
        }
        painter->restore();
        return;
    }
    // A tool button (the toolbar's, a disclosure) wears the ring of every other button, where
    // Fusion draws a line one pixel wide inside it.
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (control == CC_ToolButton && tool && tool->state.testFlag(State_HasFocus)) {
        QStyleOptionToolButton unfocused = *tool;
        unfocused.state &= ~State_HasFocus;
        QProxyStyle::drawComplexControl(control, &unfocused, painter, widget);
        FocusRing::paint(*painter, QRectF(tool->rect), 4);
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

} // namespace dovrane
