#pragma once
// The desktop's clipboard, through the running Qt Gui application; without one nothing is copied.

#include "Services/Clipboard.h"

namespace dovrane {

class GuiClipboard final : public Clipboard {
public:
    void setText(const QString& text) override;
};

} // namespace dovrane
