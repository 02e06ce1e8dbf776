#pragma once
// Puts the interface's foundation in place once, after the QApplication exists: the Fusion
// style with our palette for the current look, the interface font, the symbol themes, and the
// appearance service following the desktop.

namespace dovrane::UiKit {

void install();

} // namespace dovrane::UiKit
