// How the palette scores a typed query against a command title: where each word is found, what
// separates words, and Unicode text compared as a reader sees it.

#include "CommandPalette/PaletteMatch.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

using dovrane::PaletteMatch::score;

namespace {

struct Case {
    std::string query;
    std::string title;
    std::optional<int> expected;
};

QString shown(std::optional<int> value) { return value ? QString::number(*value) : QStringLiteral("none"); }

void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        const std::optional<int> actual = score(c.query, c.title);
        QVERIFY2(actual == c.expected,
                 qPrintable(QStringLiteral("query \"%1\" title \"%2\": %3, expected %4")
                                .arg(QString::fromStdString(c.query), QString::fromStdString(c.title), shown(actual),
                                     shown(c.expected))));
    }
}

} // namespace

class PaletteMatchTests : public QObject {
    Q_OBJECT

private slots:
    void weightsOfWhereEachWordIsFound() {
        expectAll({
            {"", "Scan Again", 0},
            {"   ", "Scan Again", 0},
            {"", "", 0},
            {" \t ", "", 0},
            {"scan", "Scan Again", 0},
            {"again", "Scan Again", 1},
            {"gain", "Scan Again", 3},
            {"scan zzz", "Scan Again", std::nullopt},
            {"SCAN", "Scan Again", 0},
            {"up", "Update All Apps", 0},
            {"up", "Check App Updates", 1},
            {"up", "Clean Up Safe Items\u2026", 1},
            {"up", "Setup and Permissions\u2026", 3},
            {"up safe", "Clean Up Safe Items\u2026", 2},
            {"clean safe", "Clean Up Safe Items\u2026", 1},
            {"again scan", "Scan Again", 1},
            {"scan scan", "Scan Again", 0},
            {"again again", "Scan Again", 2},
            {"  scan   again  ", "Scan Again", 1},
        });
    }

    void punctuationSeparatesTitleWordsButNotQueryWords() {
        expectAll({
            {"clean-up", "Clean Up Safe Items\u2026", std::nullopt},
            {"items\u2026", "Clean Up Safe Items\u2026", 3},
            {"x", "Show Xcode.app", 1},
            {"app", "Show Xcode.app", 1},
            {"26", "macOS 26", 1},
            {"-", "---", 0},
            {"--", "a --", 3},
            {"b", "---", std::nullopt},
        });
    }

    void unicodeCharactersAreGraphemeClustersOfComposedText() {
        const std::string precomposed = "Caf\u00E9 Settings";
        const std::string decomposed = "Cafe\u0301 Settings";
        expectAll({
            {"caf\u00E9", decomposed, 0},
            {"cafe\u0301", precomposed, 0},
            {"\u00C9", "\u00E9t\u00E9", 0},
            // A base letter is not the beginning of the accented letter it carries.
            {"cafe", precomposed, std::nullopt},
            {"cafe", decomposed, std::nullopt},
            // No precomposed form exists for e with a macron below: still one character.
            {"e", "e\u0331x", std::nullopt},
            // Every Unicode white space separates query words.
            {"scan\u00A0again", "Scan Again", 1},
            {"scan\u3000again", "Scan Again", 1},
            // Letters of other scripts and other numerals belong to words.
            {"\u0434\u0438\u0441\u043A", "\u041E\u0447\u0438\u0441\u0442\u0438\u0442\u044C \u0434\u0438\u0441\u043A",
             1},
            {"\u0663", "Step \u0663", 1},
            {"\u00BD", "Take \u00BD", 1},
        });
    }

    void lowerCasingIgnoresTheUsersLocale() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        // A Turkish lower-casing would turn "I" into a dotless i and miss "info".
        const std::optional<int> upperQuery = score("INFO", "Info Panel");
        const std::optional<int> upperTitle = score("info", "INFO PANEL");
        QLocale::setDefault(saved);
        QCOMPARE(upperQuery, std::optional<int>(0));
        QCOMPARE(upperTitle, std::optional<int>(0));
    }
};

int main(int argc, char** argv) {
    dovrane::testing::fixTestEnvironment("uitests", "UTC");
    QCoreApplication application(argc, argv);
    PaletteMatchTests suite;
    return QTest::qExec(&suite, argc, argv);
}
#include "PaletteMatchTests.moc"
