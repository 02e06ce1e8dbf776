// The German catalogue: every text the application translates has German, no German is left
// over from texts that are gone, one English text with one meaning has one German text, and the
// committed catalogue is what lupdate makes of today's sources, so a changed English text cannot
// fall back to English in a German window unnoticed.

#include "support/ModelTestMain.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <tuple>
#include <vector>

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

const QString committedCatalogue = QStringLiteral(DOVRANE_TS_FILE);

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString copy = folder.filePath(QStringLiteral("dovrane_de.ts"));
        const QByteArray committed = readAll(committedCatalogue);
        QVERIFY(!committed.isEmpty());
        QVERIFY(writeFile(copy, committed));

        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments = QStringLiteral(DOVRANE_LUPDATE_OPTIONS).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        arguments << QStringLiteral("-silent") << QStringLiteral("@" DOVRANE_LUPDATE_LIST) << QStringLiteral("-ts")
                  << copy;
        lupdate.start(QStringLiteral(DOVRANE_LUPDATE), arguments);
        QVERIFY2(lupdate.waitForFinished(120'000), qPrintable(lupdate.errorString()));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAll().constData());

        const QByteArray fresh = readAll(copy);
        if (fresh == committed)
            return;
        QString error;
        const std::vector<Entry> before = readCatalogue(committedCatalogue, &error);
        const std::vector<Entry> after = readCatalogue(copy, &error);
        const std::set<Entry> was(before.begin(), before.end());
        const std::set<Entry> is(after.begin(), after.end());
        QStringList changes;
        for (const Entry& entry : is)
            if (!was.contains(entry))
                changes << QStringLiteral("+ ") + entry.describe();
        for (const Entry& entry : was)
            if (!is.contains(entry))
                changes << QStringLiteral("- ") + entry.describe();
        QFAIL(qPrintable(
            QStringLiteral("The catalogue is not what lupdate makes of the sources; run "
                           "`cmake --build build --target update_translations`, translate, commit:\n") +
            (changes.isEmpty() ? QStringLiteral("(only its layout differs)") : changes.join(QLatin1Char('\n')))));
    }
};

DOVRANE_MODEL_SUITE(TranslationsTests)
#include "TranslationsTests.moc"
