#include "Services/Translations.h"

#include <DovraneKit/core/Language.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace dovrane::Translations {

bool install() {
    static QTranslator german;
    static QTranslator qtGerman;
    QCoreApplication::removeTranslator(&german);
    QCoreApplication::removeTranslator(&qtGerman);
    if (currentLanguage() != Language::de)
        return false;
    // Qt's own catalogue speaks for the standard dialogs and buttons; without it they stay
    // English, but ours still loads.
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtGerman);
    return german.load(QStringLiteral(":/i18n/dovrane_de.qm")) && QCoreApplication::installTranslator(&german);
}

} // namespace dovrane::Translations
