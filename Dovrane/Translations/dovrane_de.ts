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
    <message>
        <source>Dovrane does not know this app's Homebrew cask, so it cannot update it.</source>
        <translation>Dovrane kennt das Homebrew-Cask dieser App nicht und kann sie daher nicht aktualisieren.</translation>
    </message>
    <message>
        <source>Homebrew did not finish the update. Run “brew upgrade --cask %1” in Terminal to see why.</source>
        <translation>Homebrew hat die Aktualisierung nicht abgeschlossen. Führe „brew upgrade --cask %1“ im Terminal aus, um den Grund zu sehen.</translation>
    </message>
    <message>
        <source>%1 is still open. Quit it, then try again.</source>
        <translation>%1 ist noch geöffnet. Beende die App und versuche es dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane wants to put the new version of an app into the Applications folder.</source>
        <translation>Dovrane möchte die neue Version einer App in den Programme-Ordner legen.</translation>
    </message>
    <message>
        <source>%1 %2, replaced by %3</source>
        <translation>%1 %2, ersetzt durch %3</translation>
    </message>
    <message>
        <source>1 app update is ready</source>
        <translation>1 App-Update ist bereit</translation>
    </message>
    <message>
        <source>%1 app updates are ready</source>
        <translation>%1 App-Updates sind bereit</translation>
    </message>
    <message>
        <source>This week on your Mac</source>
        <translation>Diese Woche auf deinem Mac</translation>
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
    <name>CommandPalette</name>
    <message>
        <source>Command Palette</source>
        <translation>Befehlspalette</translation>
    </message>
    <message>
        <source>Search pages, actions and apps</source>
        <translation>Seiten, Aktionen und Apps suchen</translation>
    </message>
    <message>
        <source>Nothing matches</source>
        <translation>Keine Treffer</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>Aktionen</translation>
    </message>
    <message>
        <source>Scan Again</source>
        <translation>Erneut scannen</translation>
    </message>
    <message>
        <source>Clean Up Safe Items…</source>
        <translation>Sichere Objekte aufräumen…</translation>
    </message>
    <message>
        <source>Safe items</source>
        <translation>Sichere Objekte</translation>
    </message>
    <message>
        <source>Check App Updates</source>
        <translation>Nach App-Updates suchen</translation>
    </message>
    <message>
        <source>Update All Apps</source>
        <translation>Alle Apps aktualisieren</translation>
    </message>
    <message>
        <source>Copy Diagnostics</source>
        <translation>Diagnose kopieren</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>Setup and Permissions…</source>
        <translation>Einrichtung und Berechtigungen…</translation>
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
        <source>Update %1</source>
        <translation>%1 aktualisieren</translation>
    </message>
    <message>
        <source>Remove %1…</source>
        <translation>%1 entfernen…</translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Open Dovrane</source>
        <translation>Dovrane öffnen</translation>
    </message>
    <message>
        <source>Scan Again</source>
        <translation>Erneut scannen</translation>
    </message>
    <message>
        <source>Quit Dovrane</source>
        <translation>Dovrane beenden</translation>
    </message>
    <message>
        <source>free of %1</source>
        <translation>frei von %1</translation>
    </message>
    <message>
        <source>Since yesterday: %1</source>
        <translation>Seit gestern: %1</translation>
    </message>
    <message>
        <source>From tomorrow on, Dovrane shows here what grew.</source>
        <translation>Ab morgen zeigt Dovrane hier, was gewachsen ist.</translation>
    </message>
    <message>
        <source>No app updates</source>
        <translation>Keine App-Updates</translation>
    </message>
    <message>
        <source>%1 app updates ready</source>
        <translation>%1 App-Updates bereit</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Open Dovrane at login</source>
        <translation>Dovrane beim Anmelden öffnen</translation>
    </message>
    <message>
        <source>Show free space in the menu bar</source>
        <translation>Freien Speicher in der Menüleiste zeigen</translation>
    </message>
    <message>
        <source>Weekly report as a notification</source>
        <translation>Wochenbericht als Mitteilung</translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation>Berechtigungen</translation>
    </message>
    <message>
        <source>Dovrane reads sizes and names, never file contents. Nothing leaves this Mac except update checks.</source>
        <translation>Dovrane liest Größen und Namen, niemals Dateiinhalte. Außer Update-Prüfungen verlässt nichts diesen Mac.</translation>
    </message>
    <message>
        <source>Full Disk Access</source>
        <translation>Voller Festplattenzugriff</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Show Setup Again…</source>
        <translation>Einrichtung erneut zeigen…</translation>
    </message>
    <message>
        <source>Old installers</source>
        <translation>Alte Installationsprogramme</translation>
    </message>
    <message>
        <source>Older than </source>
        <translation>Älter als </translation>
    </message>
    <message>
        <source> days</source>
        <translation> Tage</translation>
    </message>
    <message>
        <source>Project folders</source>
        <translation>Projektordner</translation>
    </message>
    <message>
        <source>Dovrane looks for node_modules, .venv, target, .next and build only in these folders.</source>
        <translation>Dovrane sucht node_modules, .venv, target, .next und build nur in diesen Ordnern.</translation>
    </message>
    <message>
        <source>No project folders yet</source>
        <translation>Noch keine Projektordner</translation>
    </message>
    <message>
        <source>Unchanged for </source>
        <translation>Unverändert seit </translation>
    </message>
    <message>
        <source>Excluded folders</source>
        <translation>Ausgeschlossene Ordner</translation>
    </message>
    <message>
        <source>Dovrane never lists anything inside these folders.</source>
        <translation>Dovrane listet nichts in diesen Ordnern auf.</translation>
    </message>
    <message>
        <source>No excluded folders</source>
        <translation>Keine ausgeschlossenen Ordner</translation>
    </message>
</context>
<context>
    <name>FolderList</name>
    <message>
        <source>Add Folder…</source>
        <translation>Ordner hinzufügen…</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
</context>
<context>
    <name>AppearanceSettings</name>
    <message>
        <source>Preview of the accent color</source>
        <translation>Vorschau der Akzentfarbe</translation>
    </message>
    <message>
        <source>Accent color</source>
        <translation>Akzentfarbe</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Inbox</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Erledigt</translation>
    </message>
    <message>
        <source>1 left</source>
        <translation>1 offen</translation>
    </message>
    <message>
        <source>Pick a color</source>
        <translation>Farbe wählen</translation>
    </message>
    <message>
        <source>Ship the first build</source>
        <translation>Ersten Build ausliefern</translation>
    </message>
    <message>
        <source>Add Task</source>
        <translation>Aufgabe hinzufügen</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>Fokus</translation>
    </message>
</context>
</TS>
