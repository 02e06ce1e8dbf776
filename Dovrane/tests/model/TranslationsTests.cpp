// The German catalogue: every text the application translates has German, no German is left
// over from texts that are gone, one English text with one meaning has one German text, and the
// committed catalogue is what lupdate makes of today's sources, so a changed English text cannot
// fall back to English in a German window unnoticed. The English catalogue likewise gives every
// counted text its form for one, so that an English window never says "1 items".

#include "Services/Translations.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"
#include <DovraneKit/core/Language.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <tuple>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

struct Entry {
    QString context;
    QString source;
    QString comment;     // the disambiguation that tr() was given
    QString translation; // plural forms joined by line feeds
    QString type;        // "unfinished", "vanished", "obsolete" or empty
    bool emptyForm = false;

    auto key() const { return std::tie(context, source, comment, translation, type); }
    bool operator<(const Entry& other) const { return key() < other.key(); }
    QString describe() const {
        QString text = context + QStringLiteral(" | \"") + source + QLatin1Char('"');
        if (!comment.isEmpty())
            text += QStringLiteral(" (") + comment + QLatin1Char(')');
        text += QStringLiteral(" → \"") + translation + QLatin1Char('"');
        if (!type.isEmpty())
            text += QStringLiteral(" [") + type + QLatin1Char(']');
        return text;
    }
};

// Every message of a .ts file; an empty list and the reader's error when it is not one.
std::vector<Entry> readCatalogue(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    std::vector<Entry> entries;
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            entry = Entry{context, {}, {}, {}, {}, false};
        } else if (name == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (name == QLatin1String("comment")) {
            entry.comment = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QLatin1String("type")).toString();
            QStringList forms;
            bool plural = false;
            while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() != QLatin1String("translation")) {
                if (xml.atEnd())
                    break;
                if (xml.isCharacters())
                    entry.translation += xml.text();
                if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    plural = true;
                    forms << xml.readElementText();
                }
            }
            if (plural) {
                entry.translation = forms.join(QLatin1Char('\n'));
                entry.emptyForm = forms.contains(QString());
            }
            entry.emptyForm = entry.emptyForm || entry.translation.isEmpty();
            entries.push_back(entry);
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return {};
    }
    return entries;
}

bool orphaned(const Entry& entry) {
    return entry.type == QLatin1String("vanished") || entry.type == QLatin1String("obsolete");
}

// Texts of the sources that a German window would show in English.
QStringList withoutGerman(const std::vector<Entry>& entries) {
    QStringList found;
    for (const Entry& entry : entries)
        if (!orphaned(entry) && (entry.type == QLatin1String("unfinished") || entry.emptyForm))
            found << entry.describe();
    return found;
}

// German whose English text is no longer in the sources.
QStringList leftOver(const std::vector<Entry>& entries) {
    QStringList found;
    for (const Entry& entry : entries)
        if (orphaned(entry))
            found << entry.describe();
    return found;
}

// One English text, with one disambiguation or none, translated differently in two places.
QStringList twoGermanTexts(const std::vector<Entry>& entries) {
    std::map<std::pair<QString, QString>, std::map<QString, QStringList>> germanByText;
    for (const Entry& entry : entries)
        if (!orphaned(entry) && !entry.emptyForm)
            germanByText[{entry.source, entry.comment}][entry.translation] << entry.context;
    QStringList found;
    for (const auto& [text, german] : germanByText) {
        if (german.size() < 2)
            continue;
        QStringList ways;
        for (const auto& [translation, contexts] : german)
            ways << QLatin1Char('"') + translation + QStringLiteral("\" in ") + contexts.join(QStringLiteral(", "));
        found << QLatin1Char('"') + text.first + QStringLiteral("\": ") + ways.join(QStringLiteral("; "));
    }
    return found;
}

// Counted texts of the English catalogue that lack a form: an English window would show the
// source text for every count, "1 items" included.
QStringList withoutEnglishForms(const std::vector<Entry>& entries) {
    QStringList found;
    for (const Entry& entry : entries) {
        if (orphaned(entry))
            continue;
        const QStringList forms = entry.translation.split(QLatin1Char('\n'));
        if (entry.type == QLatin1String("unfinished") || entry.emptyForm || forms.size() != 2)
            found << entry.describe();
    }
    return found;
}

const QString committedCatalogue = QStringLiteral(DOVRANE_TS_FILE);
const QString committedEnglishCatalogue = QStringLiteral(DOVRANE_TS_FILE_EN);
const QString howToMendEnglish = QStringLiteral(
    "run `cmake --build build --target update_translations`, then give each of these messages in "
    "Dovrane/model/Translations/dovrane_en.ts its two English forms, for one and for any other count "
    "(<numerusform>%Ln item</numerusform><numerusform>%Ln items</numerusform>), drop its type=\"unfinished\" "
    "and commit:\n");

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What lupdate with these options changes in a copy of the committed catalogue, one line per
// message added (+) or taken out (-); empty when it is current. error gets what went wrong.
QStringList lupdateChanges(const QString& committedPath, const char* options, QString* error) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(QFileInfo(committedPath).fileName());
    const QByteArray committed = readAll(committedPath);
    if (!folder.isValid() || committed.isEmpty() || !writeFile(copy, committed)) {
        *error = QStringLiteral("cannot copy ") + committedPath;
        return {};
    }
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = QString::fromLatin1(options).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    arguments << QStringLiteral("-silent") << QStringLiteral("@" DOVRANE_LUPDATE_LIST) << QStringLiteral("-ts") << copy;
    lupdate.start(QStringLiteral(DOVRANE_LUPDATE), arguments);
    if (!lupdate.waitForFinished(testing::patientMs(40'000)) || lupdate.exitStatus() != QProcess::NormalExit ||
        lupdate.exitCode() != 0) {
        *error = lupdate.errorString() + QLatin1Char('\n') + QString::fromLocal8Bit(lupdate.readAll());
        return {};
    }
    const QByteArray fresh = readAll(copy);
    if (fresh == committed)
        return {};
    const std::vector<Entry> before = readCatalogue(committedPath, error);
    const std::vector<Entry> after = readCatalogue(copy, error);
    const std::set<Entry> was(before.begin(), before.end());
    const std::set<Entry> is(after.begin(), after.end());
    QStringList changes;
    for (const Entry& entry : is)
        if (!was.contains(entry))
            changes << QStringLiteral("+ ") + entry.describe();
    for (const Entry& entry : was)
        if (!is.contains(entry))
            changes << QStringLiteral("- ") + entry.describe();
    return changes.isEmpty() ? QStringList{QStringLiteral("(only its layout differs)")} : changes;
}

} // namespace

class TranslationsTests : public QObject {
    Q_OBJECT

private slots:
    void theChecksFindEachFault() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("faults_de.ts"));
        QVERIFY(writeFile(path, R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>A</name>
    <message><source>Done</source><translation>Fertig</translation></message>
    <message><source>Open</source><translation type="unfinished"></translation></message>
    <message><source>Close</source><translation></translation></message>
    <message><source>Gone</source><translation type="vanished">Weg</translation></message>
    <message><source>Old</source><translation type="obsolete">Alt</translation></message>
    <message><source>Show</source><comment>verb</comment><translation>Zeigen</translation></message>
    <message numerus="yes"><source>%n files</source><translation><numerusform>%n Datei</numerusform><numerusform></numerusform></translation></message>
</context>
<context>
    <name>B</name>
    <message><source>Done</source><translation>Erledigt</translation></message>
    <message><source>Show</source><comment>noun</comment><translation>Vorstellung</translation></message>
    <message><source>Gone</source><translation type="vanished">Fort</translation></message>
    <message><source>Save</source><translation>Sichern</translation></message>
</context>
<context>
    <name>C</name>
    <message><source>Save</source><translation>Sichern</translation></message>
</context>
</TS>
)"));
        QString error;
        const std::vector<Entry> entries = readCatalogue(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(entries.size(), std::size_t(12));
        QCOMPARE(withoutGerman(entries), QStringList({QStringLiteral("A | \"Open\" → \"\" [unfinished]"),
                                                      QStringLiteral("A | \"Close\" → \"\""),
                                                      QStringLiteral("A | \"%n files\" → \"%n Datei\n\"")}));
        QCOMPARE(leftOver(entries), QStringList({QStringLiteral("A | \"Gone\" → \"Weg\" [vanished]"),
                                                 QStringLiteral("A | \"Old\" → \"Alt\" [obsolete]"),
                                                 QStringLiteral("B | \"Gone\" → \"Fort\" [vanished]")}));
        // Told apart by a disambiguation, or the same German twice, is fine; left-over German is
        // reported as left over only.
        QCOMPARE(twoGermanTexts(entries),
                 QStringList({QStringLiteral("\"Done\": \"Erledigt\" in B; \"Fertig\" in A")}));
    }

    void everyTextHasGerman() {
        QString error;
        const std::vector<Entry> entries = readCatalogue(committedCatalogue, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(entries.size() > 200);
        const QStringList missing = withoutGerman(entries);
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("No German for:\n") + missing.join(QLatin1Char('\n'))));
    }

    void noGermanIsLeftOver() {
        QString error;
        const QStringList found = leftOver(readCatalogue(committedCatalogue, &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("German for texts no longer in the sources:\n") +
                                             found.join(QLatin1Char('\n'))));
    }

    void oneEnglishTextHasOneGermanText() {
        QString error;
        const QStringList found = twoGermanTexts(readCatalogue(committedCatalogue, &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(found.isEmpty(),
                 qPrintable(QStringLiteral("Pick one German text, or give tr() a disambiguation for each meaning:\n") +
                            found.join(QLatin1Char('\n'))));
    }

    // lupdate over today's sources, run on a copy, leaves the committed catalogue as it is.
    void theCatalogueIsCurrent() {
        QString error;
        const QStringList changes = lupdateChanges(committedCatalogue, DOVRANE_LUPDATE_OPTIONS, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(changes.isEmpty(),
                 qPrintable(QStringLiteral("The catalogue is not what lupdate makes of the sources; run "
                                           "`cmake --build build --target update_translations`, translate, commit:\n") +
                            changes.join(QLatin1Char('\n'))));
    }

    void theEnglishChecksFindEachFault() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("faults_en.ts"));
        QVERIFY(writeFile(path, R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>A</name>
    <message numerus="yes"><source>%n files</source><translation><numerusform>%n file</numerusform><numerusform>%n files</numerusform></translation></message>
    <message numerus="yes"><source>%n apps</source><translation type="unfinished"><numerusform></numerusform><numerusform></numerusform></translation></message>
    <message numerus="yes"><source>%n items</source><translation><numerusform>%n item</numerusform><numerusform></numerusform></translation></message>
    <message numerus="yes"><source>%n days</source><translation><numerusform>%n day</numerusform></translation></message>
    <message numerus="yes"><source>%n gone</source><translation type="vanished"><numerusform>%n gone</numerusform><numerusform>%n gone</numerusform></translation></message>
</context>
</TS>
)"));
        QString error;
        const std::vector<Entry> entries = readCatalogue(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(withoutEnglishForms(entries), QStringList({QStringLiteral("A | \"%n apps\" → \"\n\" [unfinished]"),
                                                            QStringLiteral("A | \"%n items\" → \"%n item\n\""),
                                                            QStringLiteral("A | \"%n days\" → \"%n day\"")}));
        QCOMPARE(leftOver(entries), QStringList({QStringLiteral("A | \"%n gone\" → \"%n gone\n%n gone\" [vanished]")}));
    }

    void everyCountedTextHasItsEnglishForms() {
        QString error;
        const std::vector<Entry> entries = readCatalogue(committedEnglishCatalogue, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(entries.size() > 15);
        const QStringList missing = withoutEnglishForms(entries);
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("Counted texts without their English forms; ") +
                                               howToMendEnglish + missing.join(QLatin1Char('\n'))));
        const QStringList found = leftOver(entries);
        QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("English forms of texts no longer in the sources; run "
                                                            "`cmake --build build --target update_translations` "
                                                            "and commit:\n") +
                                             found.join(QLatin1Char('\n'))));
    }

    // Every counted text of the sources, and only those, is in the English catalogue as lupdate
    // keeps it.
    void theEnglishCatalogueIsCurrent() {
        QString error;
        const QStringList changes = lupdateChanges(committedEnglishCatalogue, DOVRANE_LUPDATE_OPTIONS_EN, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(changes.isEmpty(), qPrintable(QStringLiteral("The English catalogue is not what lupdate makes of the "
                                                              "sources (a counted text was added or changed); ") +
                                               howToMendEnglish + changes.join(QLatin1Char('\n'))));
    }

    // A count in a sentence is grouped as the window's language writes numbers, which is how
    // the library writes the counts it words.
    void everyCountIsGrouped() {
        QString error;
        const std::vector<Entry> entries = readCatalogue(committedEnglishCatalogue, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList plain;
        for (const Entry& entry : entries)
            if (!orphaned(entry) && entry.source.contains(QStringLiteral("%n")))
                plain << entry.context + QStringLiteral(" | \"") + entry.source + QLatin1Char('"');
        QVERIFY2(plain.isEmpty(), qPrintable(QStringLiteral("Write the count as %Ln, so that it is grouped "
                                                            "(\"258,718 files\"), in:\n") +
                                             plain.join(QLatin1Char('\n'))));

        const char* context = "dovrane::CleanupSheet";
        {
            ScopedEnv german("APP_LANG", "de");
            QVERIFY(Translations::install());
            QCOMPARE(QCoreApplication::translate(context, "%Ln files, %1", nullptr, 258718),
                     QStringLiteral("258.718 Dateien, %1"));
            for (qint64 count : {0LL, 999LL, 1234LL, 258718LL, 12345678LL})
                QCOMPARE(QLocale().toString(count), QString::fromStdString(countText(count)));
        }
        QVERIFY(Translations::install());
        QCOMPARE(QCoreApplication::translate(context, "%Ln files, %1", nullptr, 258718),
                 QStringLiteral("258,718 files, %1"));
        QCOMPARE(QCoreApplication::translate(context, "%Ln files, %1", nullptr, 1), QStringLiteral("1 file, %1"));
        for (qint64 count : {0LL, 999LL, 1234LL, 258718LL, 12345678LL})
            QCOMPARE(QLocale().toString(count), QString::fromStdString(countText(count)));
    }

    // An English window gives a count of one its own words, and the texts without a count stay
    // as the sources write them.
    void anEnglishWindowSaysOneItem() {
        ScopedEnv english("APP_LANG", "en");
        QVERIFY(Translations::install());
        const char* context = "dovrane::AppModel";
        QCOMPARE(QCoreApplication::translate("Wording", "%1 and %Ln leftovers", nullptr, 1),
                 QStringLiteral("%1 and 1 leftover"));
        QCOMPARE(QCoreApplication::translate("Wording", "%1 and %Ln leftovers", nullptr, 2),
                 QStringLiteral("%1 and 2 leftovers"));
        QCOMPARE(QCoreApplication::translate(context, "%Ln items are back where they were.", nullptr, 1),
                 QStringLiteral("1 item is back where it was."));
        QCOMPARE(QCoreApplication::translate("dovrane::InstalledTable", "%Ln apps", nullptr, 1),
                 QStringLiteral("1 app"));
        QCOMPARE(QCoreApplication::translate("dovrane::UpdatesPage", "%Ln updates", nullptr, 1),
                 QStringLiteral("1 update"));
        QCOMPARE(QCoreApplication::translate("dovrane::UpdatesPage", "%Ln updates", nullptr, 0),
                 QStringLiteral("0 updates"));
        // The menu bar's line keeps the same words for a count of one.
        QCOMPARE(QCoreApplication::translate("MenuBarView", "%Ln app updates ready", nullptr, 1),
                 QStringLiteral("1 app updates ready"));
        QCOMPARE(QCoreApplication::translate(context, "Scan"), QStringLiteral("Scan"));
        {
            ScopedEnv german("APP_LANG", "de");
            QVERIFY(Translations::install());
            QCOMPARE(QCoreApplication::translate("dovrane::InstalledTable", "%Ln apps", nullptr, 1),
                     QStringLiteral("1 App"));
        }
        QVERIFY(Translations::install());
        QCOMPARE(QCoreApplication::translate("dovrane::InstalledTable", "%Ln apps", nullptr, 1),
                 QStringLiteral("1 app"));
    }
};

DOVRANE_MODEL_SUITE(TranslationsTests)
#include "TranslationsTests.moc"
