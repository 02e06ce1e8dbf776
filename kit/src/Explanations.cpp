#include "DovraneKit/Explanations.h"

#include "DovraneKit/Language.h"

#include <iterator>

namespace dovrane::Explanations {

namespace {

struct Texts {
    const char* titleEnglish;
    const char* titleGerman;
    const char* textEnglish;
    const char* textGerman;
};

// Indexed by the category's position.
constexpr Texts texts[] = {
    {"Apps", "Apps",
     "Programs in Applications. Remove the ones you no longer use on the Apps page, leftovers included.",
     "Programme im Ordner Programme. Was du nicht mehr brauchst, entfernst du auf der Seite Apps, samt Resten."},
    {"Your files", "Deine Dateien",
     "Documents, Desktop, Downloads, Pictures, Music, Movies and iCloud Drive files kept on this Mac. Dovrane only shows them.",
     "Dokumente, Schreibtisch, Downloads, Bilder, Musik, Filme und lokal gespeicherte iCloud-Drive-Dateien. Dovrane zeigt sie nur."},
    {"Caches", "Caches",
     "Temporary copies apps keep to load faster. Apps rebuild them when needed, so the first start afterwards can be slower.",
     "Zwischenspeicher, mit denen Apps schneller laden. Die Apps legen sie bei Bedarf neu an, der erste Start danach kann etwas länger dauern."},
    {"Logs", "Protokolle",
     "Records apps and macOS write for troubleshooting. Nothing needs the old ones.",
     "Aufzeichnungen, die Apps und macOS zur Fehlersuche schreiben. Alte Protokolle braucht nichts mehr."},
    {"Trash", "Papierkorb",
     "Files you already deleted. They still take space until the Trash is emptied.",
     "Dateien, die du schon gelöscht hast. Sie belegen Platz, bis der Papierkorb geleert wird."},
    {"Old installers", "Alte Installer",
     "Disk images, installer packages and archives in Downloads older than two weeks, plus macOS installer apps. The app they installed stays.",
     "Disk-Images, Installationspakete und Archive in Downloads, älter als zwei Wochen, dazu macOS-Installer. Die installierte App bleibt."},
    {"Mail attachments", "Mail-Anhänge",
     "Copies of attachments you opened in Mail. The original stays in the email.",
     "Kopien von Anhängen, die du in Mail geöffnet hast. Das Original bleibt in der E-Mail."},
    {"Messages attachments", "Nachrichten-Anhänge",
     "Photos and files from your chats. Manage them in Messages or in System Settings > General > Storage.",
     "Fotos und Dateien aus deinen Chats. Verwalte sie in Nachrichten oder unter Systemeinstellungen > Allgemein > Speicher."},
    {"iPhone and iPad backups", "iPhone- und iPad-Backups",
     "Full backups of iPhones and iPads made with Finder. Keep the newest backup of a device you still use.",
     "Vollständige Backups von iPhone und iPad, die der Finder angelegt hat. Behalte das neueste Backup eines Geräts, das du noch nutzt."},
    {"Local Time Machine snapshots", "Lokale Time-Machine-Schnappschüsse",
     "Time Machine keeps hourly snapshots on this disk while the backup disk is away. macOS removes them on its own when space runs low, and does not tell how big they are.",
     "Time Machine legt stündlich Schnappschüsse auf dieser Festplatte an, solange das Backup-Laufwerk fehlt. macOS löscht sie selbst, wenn der Platz knapp wird, und nennt keine Größe."},
    {"Xcode", "Xcode",
     "Build products, archives and device support files from Xcode. Build products come back with the next build. Archives are your released builds.",
     "Build-Ergebnisse, Archive und Geräte-Unterstützung von Xcode. Build-Ergebnisse entstehen beim nächsten Build neu. Archive sind deine veröffentlichten Builds."},
    {"Simulators", "Simulatoren",
     "Simulated iPhones, iPads and Watches with their apps and data. Unavailable ones belong to Xcode versions you no longer have.",
     "Simulierte iPhones, iPads und Watches mit ihren Apps und Daten. Nicht verfügbare gehören zu Xcode-Versionen, die du nicht mehr hast."},
    {"Docker disk image", "Docker-Abbild",
     "One file that holds all Docker images and containers. Shrink it in Docker Desktop, never by deleting the file.",
     "Eine Datei mit allen Docker-Images und Containern. Verkleinere sie in Docker Desktop, nie durch Löschen der Datei."},
    {"Package caches", "Paket-Caches",
     "Downloads kept by Homebrew, npm, pnpm, Yarn, pip, Cargo and Gradle. They download again when needed.",
     "Downloads, die Homebrew, npm, pnpm, Yarn, pip, Cargo und Gradle aufheben. Sie werden bei Bedarf neu geladen."},
    {"Old project folders", "Alte Projektordner",
     "node_modules, .venv, target, .next and build folders in projects you have not changed for a while. The project's tool rebuilds them in minutes.",
     "node_modules, .venv, target, .next und build in Projekten, die du länger nicht geändert hast. Das Werkzeug des Projekts baut sie in Minuten neu."},
    {"macOS and the rest", "macOS und Rest",
     "macOS itself, other users, virtual memory and space macOS does not break down. No app can see inside it.",
     "macOS selbst, andere Benutzer, virtueller Speicher und Platz, den macOS nicht offenlegt. Keine App kann hineinsehen."},
};
static_assert(std::size(texts) == allCategoryIDs.size());

} // namespace

std::string title(CategoryID id) {
    const auto& t = texts[position(id)];
    return L(t.titleEnglish, t.titleGerman);
}

std::string text(CategoryID id) {
    const auto& t = texts[position(id)];
    return L(t.textEnglish, t.textGerman);
}

Safety safety(CategoryID id) {
    switch (id) {
    case CategoryID::apps: case CategoryID::personal: case CategoryID::messages:
    case CategoryID::docker: case CategoryID::other:
        return Safety::keep;
    case CategoryID::iosBackups: case CategoryID::snapshots: case CategoryID::xcode:
    case CategoryID::simulators:
        return Safety::review;
    case CategoryID::caches: case CategoryID::logs: case CategoryID::trash: case CategoryID::installers:
    case CategoryID::mailDownloads: case CategoryID::packageCaches: case CategoryID::projects:
        return Safety::safe;
    }
    return Safety::keep;
}

std::string label(Safety safety) {
    switch (safety) {
    case Safety::safe: return L("Safe", "Gefahrlos");
    case Safety::review: return L("Review", "Prüfen");
    case Safety::keep: return L("Keep", "Behalten");
    }
    return {};
}

} // namespace dovrane::Explanations
