#include "GuiClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace dovrane {

void GuiClipboard::setText(const QString& text) {
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        application->clipboard()->setText(text);
}

} // namespace dovrane
