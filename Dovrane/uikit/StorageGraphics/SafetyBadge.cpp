#include "StorageGraphics/SafetyBadge.h"

#include "Theme/Color.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/scan/Explanations.h>

#include <QHBoxLayout>

namespace dovrane {

SafetyBadge::SafetyBadge(Safety safety, QWidget* parent) : QWidget(parent), safety_(safety) {
    const QString label = QString::fromStdString(Explanations::label(safety));
    const QFont font = Fonts::font(FontRole::caption);
    auto source = [safety] { return color(safety); };
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    row->addWidget(new SymbolView(symbol(safety), QFontMetrics(font).height(), source, this), 0, Qt::AlignVCenter);
    row->addWidget(new StyledLabel(label, font, source, this), 0, Qt::AlignVCenter);
    setToolTip(tooltip(safety));
    setAccessibleName(label);
    setAccessibleDescription(tooltip(safety));
}

QString SafetyBadge::symbol(Safety safety) {
    switch (safety) {
    case Safety::safe:
        return QStringLiteral("checkmark.circle");
    case Safety::review:
        return QStringLiteral("eye");
    case Safety::keep:
        break;
    }
    return QStringLiteral("lock");
}

QString SafetyBadge::tooltip(Safety safety) {
    switch (safety) {
    case Safety::safe:
        return tr("Rebuilt when needed. Moving it to the Trash loses nothing.");
    case Safety::review:
        return tr("Probably not needed. Look before you remove it.");
    case Safety::keep:
        break;
    }
    return tr("Dovrane only shows it. Manage it in the app that owns it.");
}

QColor SafetyBadge::color(Safety safety) {
    if (safety == Safety::safe)
        return Color(0x0F7A55, 0x5FD3A3).resolved();
    return SemanticColors::of(SemanticColor::secondaryLabel);
}

} // namespace dovrane
