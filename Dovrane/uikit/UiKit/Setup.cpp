#include "UiKit/Setup.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/Appearance.h"
#include "UiKit/FocusRing.h"
#include "UiKit/Fonts.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QApplication>
#include <QStyleFactory>

namespace dovrane::UiKit {

void install() {
    // The same style everywhere, so the windows look alike on every desktop and offscreen.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(Fonts::font(FontRole::body));
    Symbols::install();
    Appearance& appearance = Appearance::shared();
    QApplication::setPalette(SemanticColors::palette(appearance.look()));
    appearance.followDesktop();
    FocusRing::followFocusIntoView();
    AccessibleRole::install();
}

} // namespace dovrane::UiKit
