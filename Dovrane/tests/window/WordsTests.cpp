// Every text the window shows, read as its user reads it: in German no English is left (no
// sentence, no word the catalogue translates, no key name in a shortcut), and in either language
// no sentence starts in lower case, none calls the Cleaned Up page a journal, and none says that
// Dovrane never deletes. The views are the demo data's (every page, every category of the
// Storage and Developer pages, the sheets, the panel, the Settings tabs and the menus) and those
// of a model with nothing measured, a failed update check and an install problem; and a German
// window over the scan and update caches an English run left.

#include "App/Menus.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/ScanCache.h"
#include "AppModel/UpdatesCache.h"
#include "Services/Translations.h"
#include "UiKit/StorageSelection.h"
#include "ViewTour.h"
#include "WindowFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/core/Language.h>
#include <DovraneKit/scan/DiskScanner.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <nlohmann/json.hpp>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTabBar>
#include <QTest>
#include <QTextDocumentFragment>
#include <QXmlStreamReader>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Words of English sentences that German does not use.
const QSet<QString> englishWords = {"the",  "and",  "is",   "are", "you",  "your", "of",   "to",   "with",
                                    "this", "that", "not",  "has", "have", "for",  "from", "it",   "its",
                                    "be",   "can",  "does", "did", "was",  "were", "or",   "when", "only"};

// Key names as Qt's English spells them; German desktops say Strg, Umschalt, Eingabe, Rücktaste.
const QStringList englishKeys = {"Ctrl", "Shift", "Return", "Backspace", "Delete", "Space"};

// The English texts whose German differs, less any text that is German somewhere.
QSet<QString> translatedEnglish() {
    QFile file(QStringLiteral(DOVRANE_TS_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    QSet<QString> english, german;
    QString source;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("translation")) {
            const QString translation = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            german << translation;
            if (!translation.isEmpty() && translation != source && !source.contains(QLatin1Char('%')))
                english << source;
        } else if (!xml.isStartElement())
            xml.readNext();
    }
    return english - german;
}

QString plain(const QString& text) {
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// A tooltip's text as it was said: a long one is wrapped where it is shown (a path after any of
// its slashes), and a word there on a line of its own says nothing of the language.
QString tooltipText(const QString& tooltip) {
    if (!Qt::mightBeRichText(tooltip))
        return tooltip;
    QString raw = QTextDocumentFragment::fromHtml(tooltip).toRawText();
    return raw.remove(QChar::LineSeparator).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// Every text of the visible widgets below root: labels, buttons, tooltips, accessible names,
// placeholders, choices, tabs and every cell and header of the item views.
QStringList visibleTexts(QWidget& root) {
    QStringList texts{root.windowTitle()};
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* widget : widgets) {
        if (widget != &root && !widget->isVisibleTo(&root))
            continue;
        texts << tooltipText(widget->toolTip()) << widget->accessibleName();
        if (auto* label = qobject_cast<QLabel*>(widget))
            texts << plain(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts << button->text();
        if (auto* field = qobject_cast<QLineEdit*>(widget))
            texts << field->placeholderText();
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            texts << box->title();
        if (auto* choice = qobject_cast<QComboBox*>(widget))
            for (int at = 0; at < choice->count(); ++at)
                texts << choice->itemText(at);
        if (auto* tabs = qobject_cast<QTabBar*>(widget))
            for (int at = 0; at < tabs->count(); ++at)
                texts << tabs->tabText(at) << tooltipText(tabs->tabToolTip(at));
        if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
            const QAbstractItemModel& model = *view->model();
            for (int column = 0; column < model.columnCount(); ++column)
                texts << model.headerData(column, Qt::Horizontal).toString();
            for (int row = 0; row < std::min(model.rowCount(), 200); ++row)
                for (int column = 0; column < model.columnCount(); ++column) {
                    const QModelIndex index = model.index(row, column);
                    texts << plain(index.data(Qt::DisplayRole).toString())
                          << tooltipText(index.data(Qt::ToolTipRole).toString())
                          << plain(index.data(Qt::AccessibleTextRole).toString());
                }
        }
    }
    texts.removeAll(QString());
    return texts;
}

// Each menu item's title and its shortcut as the menu shows it.
QStringList menuTexts(QMenuBar& bar) {
    QStringList texts;
    for (QAction* top : bar.actions()) {
        texts << top->text();
        if (!top->menu())
            continue;
        for (QAction* item : top->menu()->actions())
            texts << item->text() + QLatin1Char('\t') + item->shortcut().toString(QKeySequence::NativeText);
    }
    return texts;
}

class Reader {
public:
    explicit Reader(bool german) : german_(german), translated_(german ? translatedEnglish() : QSet<QString>()) {}

    void read(const QString& view, const QStringList& texts) {
        for (const QString& text : texts)
            for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\n\t]")))) {
                const QString fault = faultOf(line.trimmed());
                if (!fault.isEmpty())
                    faults_ << QStringLiteral("%1: %2: \"%3\"").arg(view, fault, line.trimmed());
            }
    }
    QStringList faults() const {
        QStringList once = faults_;
        once.removeDuplicates();
        return once;
    }
    bool knowsTheCatalogue() const { return !german_ || !translated_.isEmpty(); }

private:
    QString faultOf(const QString& line) const {
        // A name may start in lower case (macOS, node_modules, npm); a plain word may not.
        static const QRegularExpression lowerAfterStop(
            QStringLiteral("[.!?] (?!(npm|pnpm|pip)\\b)\\p{Ll}+(?=[ ,;:]|$)"));
        static const QRegularExpression journal(QStringLiteral("\\b[Jj]ournal"));
        if (line.contains(lowerAfterStop))
            return QStringLiteral("a sentence starts in lower case");
        if (line.contains(journal))
            return QStringLiteral("the Cleaned Up page is no journal");
        if (line.contains(QLatin1String("never deletes")) || line.contains(QLatin1String("löscht nie")))
            return QStringLiteral("Dovrane empties the Trash, which deletes");
        if (!german_)
            return {};
        if (translated_.contains(line))
            return QStringLiteral("English the catalogue translates");
        QSet<QString> words;
        static const QRegularExpression word(QStringLiteral("[A-Za-z']+"));
        for (auto match = word.globalMatch(line); match.hasNext();)
            if (const QString found = match.next().captured().toLower(); englishWords.contains(found))
                words << found;
        if (words.size() >= 2)
            return QStringLiteral("an English sentence");
        static const QRegularExpression key(QStringLiteral("\\b(%1)\\b").arg(englishKeys.join(QLatin1Char('|'))));
        if (line.contains(key))
            return QStringLiteral("an English key name");
        return {};
    }

    bool german_;
    QSet<QString> translated_;
    QStringList faults_;
};

void settle() {
    for (int pass = 0; pass < 4; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Each category in turn on a category page (Storage or Developer) shown in root.
void readEveryCategory(Reader& reader, const QString& page, QWidget& root) {
    for (CategoryID id : allCategoryIDs) {
        StorageSelection::shared().setCategory(id);
        settle();
        reader.read(page + QStringLiteral(" ") + QString::fromUtf8(rawValue(id).data()), visibleTexts(root));
    }
    StorageSelection::shared().setCategory(CategoryID::caches);
}

// The demo data's views, and every category of the two category pages.
void readTheDemo(Reader& reader) {
    WindowFixture fixture;
    ViewTour tour(fixture);
    reader.read(QStringLiteral("menus"), menuTexts(*tour.window.menuBar()));
    tour.forEachView([&](const QString& name, QWidget& root) {
        reader.read(name, visibleTexts(root));
        if (name == QLatin1String("page storage") || name == QLatin1String("page developer"))
            readEveryCategory(reader, name, root);
    });
}

// Ledger and Tally, two apps of the fixture's Applications folder.
std::vector<InstalledApp> twoApps(const WindowFixture& fixture) {
    InstalledApp app;
    app.bundleID = "com.example.ledger";
    app.name = "Ledger";
    app.version = "1.0";
    app.path = Url::fromPath(fixture / "Applications/Ledger.app");
    InstalledApp other = app;
    other.name = "Tally";
    other.path = Url::fromPath(fixture / "Applications/Tally.app");
    return {app, other};
}

// Every page of the window, and every category of the Storage and Developer pages.
void readEveryPage(Reader& reader, const QString& what, AppModel& model, ContentView& window) {
    window.resize(1100, 720);
    activate(window);
    for (SidebarItem item : allSidebarItems) {
        model.setSidebar(item);
        settle();
        const QString page = what + QStringLiteral(", page ") + rawValue(item);
        reader.read(page, visibleTexts(window));
        if (item == SidebarItem::storage || item == SidebarItem::developer)
            readEveryCategory(reader, page, window);
    }
}

// Nothing measured, no apps, a failed update check and a failed install, and a notice.
void readTheFailures(Reader& reader) {
    WindowFixture fixture;
    AppModel& model = fixture.makeModel();
    ContentView& window = fixture.makeWindow(model);
    const RealPages pages(window, model);
    const std::vector<InstalledApp> apps = twoApps(fixture);
    ModelSeeding seeding(model);
    seeding.setApps(apps);
    seeding.setAppsLoaded(true);
    seeding.setUpdates(
        {{apps[0].id(), UpdateCheck::failed(L("The update check did not work this time."))},
         {apps[1].id(), UpdateCheck::unsupported(L("The App Store does not list this app in your country."))}});
    seeding.setUpdatesCheckedAt(fixture.clock->now());
    seeding.setInstallProblems(
        {{apps[0].id(), QCoreApplication::translate("dovrane::AppModel", "%1 is still open. Quit it, then try again.")
                            .arg(QStringLiteral("Ledger"))}});
    model.setNotice(QCoreApplication::translate("dovrane::AppModel", "Trash emptied. Measured gain: %1.")
                        .arg(QString::fromStdString(bytes(7'000'000))));
    readEveryPage(reader, QStringLiteral("nothing measured"), model, window);
}

// The caches an English run left (a scan of a home with something of every kind the window
// lists, and an update check of two apps that could not be checked), read by this window.
void readTheCachesOfAnEnglishRun(Reader& reader) {
    WindowFixture fixture;
    const std::vector<InstalledApp> apps = twoApps(fixture);
    {
        ScopedEnv english("APP_LANG", "en");
        writeFileOfSize(fixture / "Library/Caches/com.example.ledger/blob", 40'000);
        writeFileOfSize(fixture / "Documents/letter.txt", 40'000);
        writeFileOfSize(fixture / "Library/Messages/Attachments/photo.jpg", 40'000);
        writeFileOfSize(FreedesktopTrash::homeTrashFiles(fixture.home()) + "/old.txt", 40'000);
        writeFile(fixture / "Code/shop/package.json", "{}");
        writeFileOfSize(fixture / "Code/shop/node_modules/left-pad/index.js", 40'000);
        setTimesRecursively(fixture / "Code/shop", daysAgo(1234));
        ScanSettings settings;
        settings.projectFolders = {fixture / "Code"};
        DiskScanner scanner(Url::fromPath(fixture.home()), std::nullopt, settings, nullptr);
        scanner.flatpakApps = nullptr;
        writeFile(ScanCache::url().path(), ScanCache::encode(scanner.scan({})));
        const UpdatesCache::Saved saved{
            fixture.clock->now(),
            {{apps[0].id(), UpdateCheck::failed(L("The update check did not work this time."))},
             {apps[1].id(), UpdateCheck::unsupported(L("This app updates itself, but does not say where from."))}}};
        writeFile(UpdatesCache::url().path(), saved.toJson().dump());
    }
    AppModel& model = fixture.makeModel();
    ContentView& window = fixture.makeWindow(model);
    const RealPages pages(window, model);
    ModelSeeding seeding(model);
    seeding.setApps(apps);
    seeding.setAppsLoaded(true);
    readEveryPage(reader, QStringLiteral("cached"), model, window);
}

} // namespace

class WordsTests : public QObject {
    Q_OBJECT

private slots:
    void theWindowSpeaksEachLanguageWhole_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << QStringLiteral("en");
        QTest::newRow("de") << QStringLiteral("de");
    }

    void theWindowSpeaksEachLanguageWhole() {
        QFETCH(QString, language);
        // Declared first so it runs last, once APP_LANG is back.
        const auto languageBack = qScopeGuard([] { Translations::install(); });
        ScopedEnv languageSwitch("APP_LANG", language.toStdString());
        QVERIFY(Translations::install());
        Reader reader(language == QLatin1String("de"));
        QVERIFY(reader.knowsTheCatalogue());
        readTheDemo(reader);
        readTheFailures(reader);
        const QStringList faults = reader.faults();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    void theCachesOfAnEnglishRunReadInGerman() {
        const auto languageBack = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        Reader reader(true);
        readTheCachesOfAnEnglishRun(reader);
        const QStringList faults = reader.faults();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // The reader itself finds what it is there to find, and passes plain German.
    void theReaderFindsEnglishAndContradictions() {
        Reader german(true);
        german.read(QStringLiteral("probe"),
                    {QStringLiteral("Die Update-Prüfung hat diesmal nicht geklappt."), QStringLiteral("Papierkorb"),
                     QStringLiteral("Gefahrlose Objekte aufräumen…\tStrg+Eingabe"), QStringLiteral("Xcode"),
                     QStringLiteral("~/Library/Application Support/Lumen")});
        QCOMPARE(german.faults(), QStringList());
        german.read(QStringLiteral("probe"),
                    {QStringLiteral("The update check did not work this time."), QStringLiteral("Trash"),
                     QStringLiteral("Aufräumen…\tStrg+Return"),
                     QStringLiteral("web wurde vor 90 Tagen geändert. the next build legt ihn an."),
                     QStringLiteral("und das Journal kann sie nicht zurücklegen.")});
        QCOMPARE(german.faults().size(), 5);
        Reader english(false);
        english.read(QStringLiteral("probe"), {QStringLiteral("Dovrane never deletes. Everything goes to the Trash.")});
        QCOMPARE(english.faults().size(), 1);
    }
};

DOVRANE_MODEL_SUITE(WordsTests)
#include "WordsTests.moc"
