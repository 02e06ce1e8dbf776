#include "Services/Translations.h"

#include <DovraneKit/core/Language.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace dovrane::Translations {

bool install() {
    static QTranslator ours;
    static QTranslator qtGerman;
    QCoreApplication::removeTranslator(&ours);
    QCoreApplication::removeTranslator(&qtGerman);
    if (currentLanguage() != Language::de)
        // The sources are English; the English catalogue only adds the forms for one ("1 item").
        return ours.load(QStringLiteral(":/i18n/dovrane_en.qm")) && QCoreApplication::installTranslator(&ours);
    // Qt's own catalogue speaks for the standard dialogs and buttons; without it they stay
    // English, but ours still loads.
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtGerman);
    return ours.load(QStringLiteral(":/i18n/dovrane_de.qm")) && QCoreApplication::installTranslator(&ours);
}

} // namespace dovrane::Translations
