#include "UiKit/ControlStyle.h"

#include "UiKit/FocusRing.h"
#include "UiKit/SemanticColors.h"

#include <QImage>
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

void ControlStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
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

} // namespace dovrane
