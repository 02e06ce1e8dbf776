<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>SidebarItem</name>
    <message>
        <source>Overview</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>Storage</source>
        <translation>Speicher</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>Updates</source>
        <translation>Updates</translation>
    </message>
    <message>
        <source>Developer</source>
        <translation>Entwickler</translation>
    </message>
    <message>
        <source>Cleaned Up</source>
        <translation>Aufgeräumt</translation>
    </message>
</context>
<context>
    <name>SettingsTab</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Darstellung</translation>
    </message>
</context>
<context>
    <name>dovrane::AppModel</name>
    <message>
        <source>Starting…</source>
        <translation>Wird gestartet…</translation>
    </message>
    <message>
        <source>Diagnostics copied. They hold versions and counts, no file or app names.</source>
        <translation>Diagnose kopiert. Sie enthält Versionen und Zahlen, keine Datei- oder App-Namen.</translation>
    </message>
    <message>
        <source>Dovrane wants to move files outside your home folder to the Trash.</source>
        <translation>Dovrane möchte Dateien außerhalb deines Benutzerordners in den Papierkorb legen.</translation>
    </message>
    <message>
        <source>%1 moved to the Trash. The space frees up when you empty the Trash.</source>
        <translation>%1 in den Papierkorb gelegt. Der Platz wird frei, wenn du den Papierkorb leerst.</translation>
    </message>
    <message>
        <source>Leftovers without an app</source>
        <translation>Reste ohne App</translation>
    </message>
    <message>
        <source>Trash emptied. Measured gain: %1.</source>
        <translation>Papierkorb geleert. Gemessener Gewinn: %1.</translation>
    </message>
    <message>
        <source>Dovrane wants to delete local Time Machine snapshots.</source>
        <translation>Dovrane möchte lokale Time-Machine-Schnappschüsse löschen.</translation>
    </message>
    <message>
        <source>Unavailable simulators removed. Measured gain: %1.</source>
        <translation>Nicht verfügbare Simulatoren entfernt. Gemessener Gewinn: %1.</translation>
    </message>
    <message>
        <source>Xcode could not remove the simulators. Is Xcode installed?</source>
        <translation>Xcode konnte die Simulatoren nicht entfernen. Ist Xcode installiert?</translation>
    </message>
    <message numerus="yes">
        <source>%n items could not be moved.</source>
        <translation>
            <numerusform>%n Objekt konnte nicht bewegt werden.</numerusform>
            <numerusform>%n Objekte konnten nicht bewegt werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n leftovers</source>
        <translation>
            <numerusform>%1 und %n Rest</numerusform>
            <numerusform>%1 und %n Reste</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items are back where they were.</source>
        <translation>
            <numerusform>%n Objekt ist wieder an seinem Platz.</numerusform>
            <numerusform>%n Objekte sind wieder an ihrem Platz.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items stayed in the Trash because something else is at their original place.</source>
        <translation>
            <numerusform>%n Objekt blieb im Papierkorb, weil an seinem Platz schon etwas anderes liegt.</numerusform>
            <numerusform>%n Objekte blieben im Papierkorb, weil an ihrem Platz schon etwas anderes liegt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n snapshots deleted. Measured gain: %1.</source>
        <translation>
            <numerusform>%n Schnappschuss gelöscht. Gemessener Gewinn: %1.</numerusform>
            <numerusform>%n Schnappschüsse gelöscht. Gemessener Gewinn: %1.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>StorageGroup</name>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>Your files</source>
        <translation>Deine Dateien</translation>
    </message>
    <message>
        <source>Caches and logs</source>
        <translation>Caches und Protokolle</translation>
    </message>
    <message>
        <source>Developer</source>
        <translation>Entwicklung</translation>
    </message>
    <message>
        <source>Device backups</source>
        <translation>Gerätebackups</translation>
    </message>
    <message>
        <source>Mail and Messages</source>
        <translation>Mail und Nachrichten</translation>
    </message>
    <message>
        <source>Installers and Trash</source>
        <translation>Installer und Papierkorb</translation>
    </message>
    <message>
        <source>macOS and the rest</source>
        <translation>macOS und der Rest</translation>
    </message>
</context>
<context>
    <name>dovrane::SafetyBadge</name>
    <message>
        <source>Rebuilt when needed. Moving it to the Trash loses nothing.</source>
        <translation>Wird bei Bedarf neu erstellt. In den Papierkorb legen verliert nichts.</translation>
    </message>
    <message>
        <source>Probably not needed. Look before you remove it.</source>
        <translation>Wahrscheinlich nicht nötig. Sieh es dir an, bevor du es entfernst.</translation>
    </message>
    <message>
        <source>Dovrane only shows it. Manage it in the app that owns it.</source>
        <translation>Dovrane zeigt es nur an. Verwalte es in der App, zu der es gehört.</translation>
    </message>
</context>
<context>
    <name>dovrane::StorageBar</name>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Free: %1</source>
        <translation>Frei: %1</translation>
    </message>
</context>
<context>
    <name>dovrane::StorageRing</name>
    <message>
        <source>in total</source>
        <translation>insgesamt</translation>
    </message>
    <message>
        <source>used</source>
        <translation>belegt</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>StorageGroup</name>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>Your files</source>
        <translation>Deine Dateien</translation>
    </message>
    <message>
        <source>Caches and logs</source>
        <translation>Caches und Protokolle</translation>
    </message>
    <message>
        <source>Developer</source>
        <translation>Entwicklung</translation>
    </message>
    <message>
        <source>Device backups</source>
        <translation>Gerätebackups</translation>
    </message>
    <message>
        <source>Mail and Messages</source>
        <translation>Mail und Nachrichten</translation>
    </message>
    <message>
        <source>Installers and Trash</source>
        <translation>Installer und Papierkorb</translation>
    </message>
    <message>
        <source>macOS and the rest</source>
        <translation>macOS und der Rest</translation>
    </message>
</context>
<context>
    <name>dovrane::SafetyBadge</name>
    <message>
        <source>Rebuilt when needed. Moving it to the Trash loses nothing.</source>
        <translation>Wird bei Bedarf neu erstellt. In den Papierkorb legen verliert nichts.</translation>
    </message>
    <message>
        <source>Probably not needed. Look before you remove it.</source>
        <translation>Wahrscheinlich nicht nötig. Sieh es dir an, bevor du es entfernst.</translation>
    </message>
    <message>
        <source>Dovrane only shows it. Manage it in the app that owns it.</source>
        <translation>Dovrane zeigt es nur an. Verwalte es in der App, zu der es gehört.</translation>
    </message>
</context>
<context>
    <name>dovrane::StorageBar</name>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Free: %1</source>
        <translation>Frei: %1</translation>
    </message>
</context>
<context>
    <name>dovrane::StorageRing</name>
    <message>
        <source>in total</source>
        <translation>insgesamt</translation>
    </message>
    <message>
        <source>used</source>
        <translation>belegt</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>AppSource</name>
    <message>
        <source>Sparkle</source>
        <translation>Sparkle</translation>
    </message>
    <message>
        <source>Homebrew</source>
        <translation>Homebrew</translation>
    </message>
    <message>
        <source>App Store</source>
        <translation>App Store</translation>
    </message>
    <message>
        <source>macOS</source>
        <translation>macOS</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Andere</translation>
    </message>
</context>
<context>
    <name>BusyIndicator</name>
    <message>
        <source>Busy</source>
        <translation>Beschäftigt</translation>
    </message>
</context>
<context>
    <name>dovrane::AppsPage</name>
    <message>
        <source>Search apps</source>
        <translation>Apps durchsuchen</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Leftovers without an app (%1)</source>
        <translation>Reste ohne App (%1)</translation>
    </message>
    <message>
        <source>Drag an app onto this window or onto the Dovrane icon in the Dock to remove it with its leftovers.</source>
        <translation>Ziehe eine App auf dieses Fenster oder auf das Dovrane-Symbol im Dock, um sie mit ihren Resten zu entfernen.</translation>
    </message>
    <message>
        <source>Folders and settings named after an app identifier that no installed app has. Usually left behind when an app was deleted by dragging it to the Trash.</source>
        <translation>Ordner und Einstellungen, die nach der Kennung einer App benannt sind, die nicht installiert ist. Meist bleiben sie zurück, wenn eine App in den Papierkorb gezogen wurde.</translation>
    </message>
</context>
<context>
    <name>dovrane::InstalledTable</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Last Used</source>
        <translation>Zuletzt benutzt</translation>
    </message>
    <message>
        <source>macOS</source>
        <translation>macOS</translation>
    </message>
    <message>
        <source>No apps found</source>
        <translation>Keine Apps gefunden</translation>
    </message>
    <message>
        <source>Part of macOS, cannot be removed</source>
        <translation>Teil von macOS, kann nicht entfernt werden</translation>
    </message>
    <message>
        <source>Remove…</source>
        <translation>Entfernen …</translation>
    </message>
    <message>
        <source>Remove %1…</source>
        <translation>%1 entfernen …</translation>
    </message>
    <message>
        <source>Show in Finder</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message numerus="yes">
        <source>%n apps</source>
        <translation>
            <numerusform>%n App</numerusform>
            <numerusform>%n Apps</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::OrphanTable</name>
    <message>
        <source>Identifier</source>
        <translation>Kennung</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>No leftovers</source>
        <translation>Keine Reste</translation>
    </message>
    <message>
        <source>Every app folder and settings file belongs to an installed app.</source>
        <translation>Jeder App-Ordner und jede Einstellungsdatei gehört zu einer installierten App.</translation>
    </message>
    <message>
        <source>Move to Trash…</source>
        <translation>In den Papierkorb legen …</translation>
    </message>
    <message numerus="yes">
        <source>%n leftovers</source>
        <translation>
            <numerusform>%n Rest</numerusform>
            <numerusform>%n Reste</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n selected</source>
        <translation>
            <numerusform>%n ausgewählt</numerusform>
            <numerusform>%n ausgewählt</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::UpdateCard</name>
    <message>
        <source>%1 → %2</source>
        <translation>%1 → %2</translation>
    </message>
    <message>
        <source>Open App Store</source>
        <translation>App Store öffnen</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>More</source>
        <translation>Mehr</translation>
    </message>
    <message>
        <source>Less</source>
        <translation>Weniger</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Versionshinweise</translation>
    </message>
</context>
<context>
    <name>dovrane::UpdatesPage</name>
    <message>
        <source>Updates</source>
        <translation>Updates</translation>
    </message>
    <message>
        <source>Updates for all your apps</source>
        <translation>Updates für alle deine Apps</translation>
    </message>
    <message>
        <source>Check Now</source>
        <translation>Jetzt prüfen</translation>
    </message>
    <message>
        <source>Update All</source>
        <translation>Alle aktualisieren</translation>
    </message>
    <message>
        <source>All checked apps are up to date.</source>
        <translation>Alle geprüften Apps sind aktuell.</translation>
    </message>
    <message>
        <source>Could not check</source>
        <translation>Konnte nicht geprüft werden</translation>
    </message>
    <message>
        <source>Checking %1 percent of your apps…</source>
        <translation>%1 Prozent deiner Apps geprüft …</translation>
    </message>
    <message>
        <source>Dovrane asks each app&apos;s update feed, Homebrew and the App Store for newer versions.</source>
        <translation>Dovrane fragt den Update-Feed jeder App, Homebrew und den App Store nach neueren Versionen.</translation>
    </message>
    <message>
        <source>No updates</source>
        <translation>Keine Updates</translation>
    </message>
    <message numerus="yes">
        <source>%n updates</source>
        <translation>
            <numerusform>%n Update</numerusform>
            <numerusform>%n Updates</numerusform>
        </translation>
    </message>
    <message>
        <source>Checked %1</source>
        <translation>Geprüft %1</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message numerus="yes">
        <source>Up to date (%n)</source>
        <translation>
            <numerusform>Aktuell (%n)</numerusform>
            <numerusform>Aktuell (%n)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not checked (%n)</source>
        <translation>
            <numerusform>Nicht geprüft (%n)</numerusform>
            <numerusform>Nicht geprüft (%n)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::RemovalRow</name>
    <message>
        <source>Put Back</source>
        <translation>Zurücklegen</translation>
    </message>
    <message>
        <source>Moves the items from the Trash to where they were</source>
        <translation>Legt die Objekte aus dem Papierkorb dorthin zurück, wo sie waren</translation>
    </message>
    <message numerus="yes">
        <source>%n items, %1, %2</source>
        <translation>
            <numerusform>%n Objekt, %1, %2</numerusform>
            <numerusform>%n Objekte, %1, %2</numerusform>
        </translation>
    </message>
    <message>
        <source>Put back</source>
        <translation>Zurückgelegt</translation>
    </message>
    <message>
        <source>%1 of %2 still in the Trash</source>
        <translation>%1 von %2 noch im Papierkorb</translation>
    </message>
    <message>
        <source>Trash was emptied</source>
        <translation>Papierkorb wurde entleert</translation>
    </message>
    <message>
        <source>These items are gone for good. Dovrane cannot put them back.</source>
        <translation>Diese Objekte sind endgültig weg. Dovrane kann sie nicht zurücklegen.</translation>
    </message>
    <message>
        <source>Show in Trash</source>
        <translation>Im Papierkorb zeigen</translation>
    </message>
</context>
<context>
    <name>dovrane::CleanedPage</name>
    <message>
        <source>Cleaned Up</source>
        <translation>Aufgeräumt</translation>
    </message>
    <message>
        <source>Dovrane never deletes. Everything goes to the Trash, and stays there until you empty it.</source>
        <translation>Dovrane löscht nie. Alles kommt in den Papierkorb und bleibt dort, bis du ihn leerst.</translation>
    </message>
    <message>
        <source>Nothing cleaned up yet</source>
        <translation>Noch nichts aufgeräumt</translation>
    </message>
    <message>
        <source>What you move to the Trash with Dovrane shows up here, ready to put back.</source>
        <translation>Was du mit Dovrane in den Papierkorb legst, erscheint hier und kann zurückgelegt werden.</translation>
    </message>
</context>
</TS>
