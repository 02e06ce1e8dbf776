#include "UiKit/Setup.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/Appearance.h"
#include "UiKit/ControlStyle.h"
#include "UiKit/FocusRing.h"
#include "UiKit/Fonts.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QApplication>

namespace dovrane::UiKit {

void install() {
    // The same style everywhere, so the windows look alike on every desktop and offscreen.
    QApplication::setStyle(new ControlStyle);
    QApplication::setFont(Fonts::font(FontRole::body));
    Symbols::install();
    Appearance& appearance = Appearance::shared();
    QApplication::setPalette(SemanticColors::palette(appearance.look()));
    appearance.followDesktop();
    FocusRing::followFocusIntoView();
    AccessibleRole::install();
}

} // namespace dovrane::UiKit
