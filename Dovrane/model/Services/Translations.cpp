#include "Services/Translations.h"

#include <DovraneKit/Language.h>

#include <QCoreApplication>
#include <QTranslator>

namespace dovrane::Translations {

bool install() {
    static QTranslator german;
    QCoreApplication::removeTranslator(&german);
    if (currentLanguage() != Language::de)
        return false;
    return german.load(QStringLiteral(":/i18n/dovrane_de.qm")) && QCoreApplication::installTranslator(&german);
}

} // namespace dovrane::Translations
