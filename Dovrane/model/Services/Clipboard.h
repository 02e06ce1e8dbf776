#pragma once
// Where copied text goes. The desktop's clipboard needs Qt Gui, so its implementation lives in
// the application; the model only sees this interface.

#include <QString>

namespace dovrane {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's contents with plain text.
    virtual void setText(const QString& text) = 0;
};

// For runs without a desktop: copies nothing.
class NoClipboard final : public Clipboard {
public:
    void setText(const QString&) override {}
};

} // namespace dovrane
