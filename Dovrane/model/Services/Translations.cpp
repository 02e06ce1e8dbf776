#include "Services/Translations.h"

#include <DovraneKit/core/Language.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace dovrane::Translations {

bool install() {
    static QTranslator ours;
    static QTranslator qtGerman;
    QCoreApplication::removeTranslator(&ours);
    QCoreApplication::removeTranslator(&qtGerman);
    const bool german = currentLanguage() == Language::de;
    // Counts in tr() ("%Ln files") are grouped the way the window's language writes them, as the
    // library's countText() groups its own: "258,718" / "258.718".
    QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                               : QLocale(QLocale::English, QLocale::UnitedStates));
    if (!german)
        // The sources are English; the English catalogue only adds the forms for one ("1 item").
        return ours.load(QStringLiteral(":/i18n/dovrane_en.qm")) && QCoreApplication::installTranslator(&ours);
    // Qt's own catalogue speaks for the standard dialogs and buttons; without it they stay
    // English, but ours still loads.
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtGerman);
    return ours.load(QStringLiteral(":/i18n/dovrane_de.qm")) && QCoreApplication::installTranslator(&ours);
}

} // namespace dovrane::Translations
