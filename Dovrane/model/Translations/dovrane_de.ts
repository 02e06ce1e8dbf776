<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
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
        <source>Flatpak</source>
        <translation>Flatpak</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Andere</translation>
    </message>
    <message>
        <source>macOS</source>
        <translation>macOS</translation>
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
    <message>
        <source>Done</source>
        <comment>list of finished tasks</comment>
        <translation>Erledigt</translation>
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
        <translation>Gefahrlose Objekte aufräumen…</translation>
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
    <message>
        <source>Commands</source>
        <translation>Befehle</translation>
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
    <message>
        <source>Add Folder to %1</source>
        <translation>Ordner zu %1 hinzufügen</translation>
    </message>
    <message>
        <source>Remove %1</source>
        <translation>%1 entfernen</translation>
    </message>
    <message numerus="yes">
        <source>%Ln more folders are not shown here.</source>
        <translation>
            <numerusform>%Ln weiterer Ordner wird hier nicht angezeigt.</numerusform>
            <numerusform>%Ln weitere Ordner werden hier nicht angezeigt.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LeftoverFolder</name>
    <message>
        <source>Application Support</source>
        <translation>Programmdaten</translation>
    </message>
    <message>
        <source>Application Scripts</source>
        <translation>Programmskripte</translation>
    </message>
    <message>
        <source>ByHost</source>
        <translation>Einstellungen je Computer</translation>
    </message>
    <message>
        <source>Caches</source>
        <translation>Caches</translation>
    </message>
    <message>
        <source>Containers</source>
        <translation>Container</translation>
    </message>
    <message>
        <source>Cookies</source>
        <translation>Cookies</translation>
    </message>
    <message>
        <source>Group Containers</source>
        <translation>Gruppen-Container</translation>
    </message>
    <message>
        <source>HTTPStorages</source>
        <translation>HTTP-Speicher</translation>
    </message>
    <message>
        <source>LaunchAgents</source>
        <translation>Startobjekte</translation>
    </message>
    <message>
        <source>LaunchDaemons</source>
        <translation>Systemdienste</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Protokolle</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>PrivilegedHelperTools</source>
        <translation>Hilfsprogramme mit Sonderrechten</translation>
    </message>
    <message>
        <source>Saved Application State</source>
        <translation>Gesicherter App-Zustand</translation>
    </message>
    <message>
        <source>WebKit</source>
        <translation>WebKit</translation>
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
    <message numerus="yes">
        <source>%Ln app updates ready</source>
        <translation>
            <numerusform>%Ln App-Update bereit</numerusform>
            <numerusform>%Ln App-Updates bereit</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QShortcut</name>
    <message>
        <source>Return</source>
        <translation>Eingabe</translation>
    </message>
</context>
<context>
    <name>SeedData</name>
    <message>
        <source>New
• Export straight to HEIC and AVIF
• Faster thumbnails in large folders
Fixed
• Crash when renaming a layer while it renders
• Color profiles of older RAW files</source>
        <translation>Neu
• Direkter Export als HEIC und AVIF
• Schnellere Vorschaubilder in großen Ordnern
Behoben
• Absturz beim Umbenennen einer Ebene während des Renderns
• Farbprofile älterer RAW-Dateien</translation>
    </message>
    <message>
        <source>No installed app has the identifier %1. Usually left behind when an app was deleted.</source>
        <translation>Keine installierte App hat die Kennung %1. Meist bleibt so etwas nach dem Löschen einer App zurück.</translation>
    </message>
    <message>
        <source>Shared notebooks can now be pinned. Search finds handwriting.</source>
        <translation>Geteilte Notizbücher lassen sich jetzt anheften. Die Suche findet Handschrift.</translation>
    </message>
    <message>
        <source>The vendor&apos;s update server no longer exists.</source>
        <translation>Den Update-Server des Herstellers gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>Dovrane cannot tell where this app gets its updates. The app itself may have a menu item for it.</source>
        <translation>Dovrane erkennt nicht, woher diese App ihre Updates bekommt. Oft hat die App selbst einen Menüpunkt dafür.</translation>
    </message>
    <message>
        <source>Named after the app&apos;s identifier %1.</source>
        <translation>Trägt die Kennung der App, %1.</translation>
    </message>
    <message>
        <source>Has the app&apos;s name. Check that no other app uses it.</source>
        <translation>Trägt den Namen der App. Prüfe, ob keine andere App ihn nutzt.</translation>
    </message>
    <message>
        <source>Ledgerly and 3 leftovers</source>
        <translation>Ledgerly und 3 Reste</translation>
    </message>
    <message>
        <source>Old installers</source>
        <translation>Alte Installer</translation>
    </message>
    <message>
        <source>3 snapshots, size not disclosed by macOS</source>
        <translation>3 Schnappschüsse, Größe von macOS nicht offengelegt</translation>
    </message>
    <message>
        <source>Remove apps on the Apps page, leftovers included.</source>
        <translation>Apps entfernst du auf der Seite Apps, samt Resten.</translation>
    </message>
    <message>
        <source>Your own files. Dovrane only shows them.</source>
        <translation>Deine eigenen Dateien. Dovrane zeigt sie nur.</translation>
    </message>
    <message>
        <source>A cache. The app rebuilds it when needed.</source>
        <translation>Ein Cache. Die App legt ihn bei Bedarf neu an.</translation>
    </message>
    <message>
        <source>This app is running. Quit it first, then its cache can go.</source>
        <translation>Diese App läuft gerade. Erst beenden, dann kann der Cache weg.</translation>
    </message>
    <message>
        <source>A cache of macOS. macOS rebuilds it, some parts at once while it runs.</source>
        <translation>Ein Cache von macOS. macOS legt ihn neu an, manche Teile sofort wieder.</translation>
    </message>
    <message>
        <source>A log file. Nothing reads old logs.</source>
        <translation>Ein Protokoll. Alte Protokolle liest nichts mehr.</translation>
    </message>
    <message>
        <source>Dovrane empties the Trash after you confirm. This cannot be undone.</source>
        <translation>Dovrane leert den Papierkorb nach deiner Bestätigung. Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message>
        <source>An installer you downloaded. The installed app does not need it.</source>
        <translation>Ein heruntergeladener Installer. Die installierte App braucht ihn nicht.</translation>
    </message>
    <message>
        <source>An archive in Downloads. It may hold something you unpacked nowhere else.</source>
        <translation>Ein Archiv in Downloads. Es kann etwas enthalten, das du nirgends entpackt hast.</translation>
    </message>
    <message>
        <source>A copy of an attachment. The original stays in the email.</source>
        <translation>Eine Kopie eines Anhangs. Das Original bleibt in der E-Mail.</translation>
    </message>
    <message>
        <source>Manage attachments in Messages.</source>
        <translation>Anhänge verwaltest du in Nachrichten.</translation>
    </message>
    <message>
        <source>A full device backup. Keep the newest one of each device you use.</source>
        <translation>Ein vollständiges Geräte-Backup. Behalte das neueste je Gerät, das du nutzt.</translation>
    </message>
    <message>
        <source>Deleting asks for your administrator password and cannot be undone.</source>
        <translation>Löschen fragt nach deinem Administrator-Passwort und lässt sich nicht rückgängig machen.</translation>
    </message>
    <message>
        <source>Build products. Xcode makes them again on the next build.</source>
        <translation>Build-Ergebnisse. Xcode erzeugt sie beim nächsten Build neu.</translation>
    </message>
    <message>
        <source>Debug files for one device version. Xcode copies them again when you connect that device.</source>
        <translation>Debug-Dateien für eine Geräteversion. Xcode kopiert sie neu, wenn du das Gerät anschließt.</translation>
    </message>
    <message>
        <source>Your archived builds with their debug symbols. Keep the ones you released.</source>
        <translation>Deine archivierten Builds mit Debug-Symbolen. Behalte die veröffentlichten.</translation>
    </message>
    <message>
        <source>Belongs to an Xcode version you no longer have. Remove it on the Developer page.</source>
        <translation>Gehört zu einer Xcode-Version, die du nicht mehr hast. Entfernen auf der Seite Entwickler.</translation>
    </message>
    <message>
        <source>A simulator with its apps and data.</source>
        <translation>Ein Simulator mit seinen Apps und Daten.</translation>
    </message>
    <message>
        <source>Shrink it in Docker Desktop &gt; Settings &gt; Resources, or with docker system prune.</source>
        <translation>Verkleinern in Docker Desktop &gt; Einstellungen &gt; Ressourcen oder mit docker system prune.</translation>
    </message>
    <message>
        <source>Downloaded packages. Homebrew loads them again when needed.</source>
        <translation>Geladene Pakete. Homebrew lädt sie bei Bedarf neu.</translation>
    </message>
    <message>
        <source>Downloaded packages. npm loads them again when needed.</source>
        <translation>Geladene Pakete. npm lädt sie bei Bedarf neu.</translation>
    </message>
    <message>
        <source>Downloaded packages. pnpm loads them again when needed.</source>
        <translation>Geladene Pakete. pnpm lädt sie bei Bedarf neu.</translation>
    </message>
    <message>
        <source>Downloaded packages. Cargo loads them again when needed.</source>
        <translation>Geladene Pakete. Cargo lädt sie bei Bedarf neu.</translation>
    </message>
    <message>
        <source>41 more apps</source>
        <translation>41 weitere Apps</translation>
    </message>
    <message>
        <source>Pictures</source>
        <translation>Bilder</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>Dokumente</translation>
    </message>
    <message>
        <source>Movies</source>
        <translation>Filme</translation>
    </message>
    <message>
        <source>Music</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>iCloud Drive (on this Mac)</source>
        <translation>iCloud Drive (auf diesem Mac)</translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation>Schreibtisch</translation>
    </message>
    <message>
        <source>Crash reports</source>
        <translation>Absturzberichte</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>42 opened attachments</source>
        <translation>42 geöffnete Anhänge</translation>
    </message>
    <message>
        <source>Attachments</source>
        <translation>Anhänge</translation>
    </message>
    <message>
        <source>Archives 2025</source>
        <translation>Archive 2025</translation>
    </message>
    <message>
        <source>harbor-web was last changed 74 days ago. Running npm install brings this folder back.</source>
        <translation>harbor-web wurde vor 74 Tagen zuletzt geändert. Mit npm install entsteht der Ordner wieder.</translation>
    </message>
    <message>
        <source>tide-engine was last changed 121 days ago. Running cargo build brings this folder back.</source>
        <translation>tide-engine wurde vor 121 Tagen zuletzt geändert. Mit cargo build entsteht der Ordner wieder.</translation>
    </message>
    <message>
        <source>forecast was last changed 45 days ago. Running pip install brings this folder back.</source>
        <translation>forecast wurde vor 45 Tagen zuletzt geändert. Mit pip install entsteht der Ordner wieder.</translation>
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
        <translation>Freien Speicher in der Menüleiste anzeigen</translation>
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
        <source>Dovrane reads sizes and names, never file contents. Nothing leaves this computer except update checks.</source>
        <translation>Dovrane liest Größen und Namen, niemals Dateiinhalte. Außer Update-Prüfungen verlässt nichts diesen Computer.</translation>
    </message>
    <message>
        <source>File Access</source>
        <translation>Dateizugriff</translation>
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
        <translation>Einrichtung erneut anzeigen…</translation>
    </message>
    <message>
        <source>Old installers</source>
        <translation>Alte Installer</translation>
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
    <message numerus="yes">
        <source>Older than %Ln days</source>
        <translation>
            <numerusform>Älter als %Ln Tag</numerusform>
            <numerusform>Älter als %Ln Tage</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Unchanged for %Ln days</source>
        <translation>
            <numerusform>Unverändert seit %Ln Tag</numerusform>
            <numerusform>Unverändert seit %Ln Tagen</numerusform>
        </translation>
    </message>
</context>
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
        <translation>Entwickler</translation>
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
        <source>System and the rest</source>
        <translation>System und Rest</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>Not available while the demo data is shown</source>
        <translation>Nicht verfügbar, solange die Demodaten angezeigt werden</translation>
    </message>
</context>
<context>
    <name>Theme</name>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message>
        <source>Indigo</source>
        <translation>Indigo</translation>
    </message>
    <message>
        <source>Violet</source>
        <translation>Violett</translation>
    </message>
    <message>
        <source>Pink</source>
        <translation>Pink</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
    <message>
        <source>Sea Green</source>
        <translation>Meergrün</translation>
    </message>
    <message>
        <source>Mint</source>
        <translation>Mint</translation>
    </message>
    <message>
        <source>Teal</source>
        <translation>Petrol</translation>
    </message>
    <message>
        <source>Graphite</source>
        <translation>Graphit</translation>
    </message>
</context>
<context>
    <name>Wording</name>
    <message>
        <source>Safe items</source>
        <translation>Gefahrlose Objekte</translation>
    </message>
    <message>
        <source>Leftovers without an app</source>
        <translation>Reste ohne App</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %Ln leftovers</source>
        <translation>
            <numerusform>%1 und %Ln Rest</numerusform>
            <numerusform>%1 und %Ln Reste</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 %2, replaced by %3</source>
        <translation>%1 %2, ersetzt durch %3</translation>
    </message>
</context>
<context>
    <name>dovrane::AccessHint</name>
    <message>
        <source>Some folders are hidden from Dovrane</source>
        <translation>Einige Ordner bleiben Dovrane verborgen</translation>
    </message>
    <message>
        <source>Without Full Disk Access, Mail, Messages, the Trash and parts of the Library stay unmeasured. Dovrane reads sizes and names, never contents.</source>
        <translation>Ohne vollen Festplattenzugriff bleiben Mail, Nachrichten, der Papierkorb und Teile der Library ungemessen. Dovrane liest Größen und Namen, nie Inhalte.</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Full Disk Access is on. It takes effect after Dovrane restarts.</source>
        <translation>Voller Festplattenzugriff ist an. Er wirkt, sobald Dovrane neu startet.</translation>
    </message>
    <message>
        <source>Restart Dovrane</source>
        <translation>Dovrane neu starten</translation>
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
        <source>%Ln items could not be moved.</source>
        <translation>
            <numerusform>%Ln Objekt konnte nicht bewegt werden.</numerusform>
            <numerusform>%Ln Objekte konnten nicht bewegt werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items are back where they were.</source>
        <translation>
            <numerusform>%Ln Objekt ist wieder an seinem Platz.</numerusform>
            <numerusform>%Ln Objekte sind wieder an ihrem Platz.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items stayed in the Trash because something else is at their original place.</source>
        <translation>
            <numerusform>%Ln Objekt blieb im Papierkorb, weil an seinem Platz schon etwas anderes liegt.</numerusform>
            <numerusform>%Ln Objekte blieben im Papierkorb, weil an ihrem Platz schon etwas anderes liegt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln snapshots deleted. Measured gain: %1.</source>
        <translation>
            <numerusform>%Ln Schnappschuss gelöscht. Gemessener Gewinn: %1.</numerusform>
            <numerusform>%Ln Schnappschüsse gelöscht. Gemessener Gewinn: %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>Dovrane does not know this app&apos;s Homebrew cask, so it cannot update it.</source>
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
        <source>1 app update is ready</source>
        <translation>1 App-Update ist bereit</translation>
    </message>
    <message>
        <source>This week on your computer</source>
        <translation>Diese Woche auf deinem Computer</translation>
    </message>
    <message numerus="yes">
        <source>%Ln app updates are ready</source>
        <translation>
            <numerusform>%Ln App-Update ist bereit</numerusform>
            <numerusform>%Ln App-Updates sind bereit</numerusform>
        </translation>
    </message>
    <message>
        <source>The record of this removal could not be saved: the items are in the Trash, where your file manager can put them back.</source>
        <translation>Der Eintrag zu dieser Entfernung konnte nicht gesichert werden: Die Objekte liegen im Papierkorb, wo dein Dateimanager sie zurücklegen kann.</translation>
    </message>
    <message>
        <source>Dovrane does not move protected files and folders.</source>
        <translation>Dovrane bewegt keine geschützten Dateien und Ordner.</translation>
    </message>
    <message>
        <source>The administrator password was not given, or the move with it failed.</source>
        <translation>Das Administratorpasswort wurde nicht eingegeben, oder das Bewegen damit ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>What was emptied from the Trash cannot come back.</source>
        <translation>Was aus dem Papierkorb geleert wurde, kann nicht zurück.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln items could not be put back.</source>
        <translation>
            <numerusform>%Ln Objekt konnte nicht zurückgelegt werden.</numerusform>
            <numerusform>%Ln Objekte konnten nicht zurückgelegt werden.</numerusform>
        </translation>
    </message>
    <message>
        <source>The Trash was not emptied: it is a link to another place, and Dovrane removes nothing through a link.</source>
        <translation>Der Papierkorb wurde nicht geleert: Er ist ein Verweis auf einen anderen Ort, und Dovrane entfernt nichts durch einen Verweis.</translation>
    </message>
    <message>
        <source>The Trash was not emptied: it belongs to another user or is not a folder.</source>
        <translation>Der Papierkorb wurde nicht geleert: Er gehört einem anderen Benutzer oder ist kein Ordner.</translation>
    </message>
    <message>
        <source>The Trash was not emptied: it is read-only.</source>
        <translation>Der Papierkorb wurde nicht geleert: Er ist schreibgeschützt.</translation>
    </message>
    <message>
        <source>Some items stayed in the Trash because they could not be removed. Measured gain: %1.</source>
        <translation>Einige Objekte blieben im Papierkorb, weil sie sich nicht entfernen ließen. Gemessener Gewinn: %1.</translation>
    </message>
    <message>
        <source>Dovrane works without its database, so it can put them back only until it quits; after that your file manager can.</source>
        <translation>Dovrane arbeitet ohne seine Datenbank und kann sie deshalb nur zurücklegen, bis es beendet wird; danach kann es dein Dateimanager.</translation>
    </message>
    <message>
        <source>Trash emptied. Measured gain: about %1.</source>
        <translation>Papierkorb geleert. Gemessener Gewinn: etwa %1.</translation>
    </message>
    <message>
        <source>Some items stayed in the Trash because they could not be removed. Measured gain: about %1.</source>
        <translation>Einige Objekte blieben im Papierkorb, weil sie sich nicht entfernen ließen. Gemessener Gewinn: etwa %1.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln items were already back where they were.</source>
        <translation>
            <numerusform>%Ln Objekt war schon wieder an seinem Platz.</numerusform>
            <numerusform>%Ln Objekte waren schon wieder an ihrem Platz.</numerusform>
        </translation>
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
        <source>Drag an app onto this window or onto Dovrane&apos;s icon to remove it with its leftovers.</source>
        <translation>Ziehe eine App auf dieses Fenster oder auf das Symbol von Dovrane, um sie mit ihren Resten zu entfernen.</translation>
    </message>
    <message>
        <source>Folders and settings named after an app identifier that no installed app has. Usually left behind when an app went without them: an AppImage deleted, a Flatpak uninstalled without its data.</source>
        <translation>Ordner und Einstellungen, die nach der Kennung einer App benannt sind, die nicht installiert ist. Meist bleiben sie zurück, wenn eine App ohne sie ging: ein gelöschtes AppImage, ein ohne seine Daten deinstalliertes Flatpak.</translation>
    </message>
</context>
<context>
    <name>dovrane::CategoryBrowser</name>
    <message>
        <source>No scan yet</source>
        <translation>Noch kein Scan</translation>
    </message>
    <message>
        <source>Measuring %1…</source>
        <translation>Misst %1…</translation>
    </message>
    <message>
        <source>Scan the disk to see what fills it.</source>
        <translation>Scanne die Festplatte, um zu sehen, was sie füllt.</translation>
    </message>
    <message>
        <source>Scan Now</source>
        <translation>Jetzt scannen</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
</context>
<context>
    <name>dovrane::CategoryDetail</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
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
        <source>Safety</source>
        <translation>Sicherheit</translation>
    </message>
    <message>
        <source>Nothing here</source>
        <translation>Hier ist nichts</translation>
    </message>
    <message>
        <source>Dovrane found nothing in this category on this computer.</source>
        <translation>Dovrane hat in dieser Kategorie auf diesem Computer nichts gefunden.</translation>
    </message>
    <message>
        <source>Empty Trash…</source>
        <translation>Papierkorb leeren…</translation>
    </message>
    <message>
        <source>Delete Snapshots…</source>
        <translation>Schnappschüsse löschen…</translation>
    </message>
    <message>
        <source>Remove Unavailable…</source>
        <translation>Nicht verfügbare entfernen…</translation>
    </message>
    <message>
        <source>Choose Project Folders…</source>
        <translation>Projektordner wählen…</translation>
    </message>
    <message>
        <source>Select Safe Items</source>
        <translation>Gefahrlose auswählen</translation>
    </message>
    <message>
        <source>Move to Trash…</source>
        <translation>In den Papierkorb legen…</translation>
    </message>
    <message>
        <source>Size not disclosed by macOS</source>
        <translation>Größe von macOS nicht angegeben</translation>
    </message>
    <message>
        <source>%1 selected, %2</source>
        <translation>%1 ausgewählt, %2</translation>
    </message>
    <message>
        <source>Show in Files</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Empty the Trash?</source>
        <translation>Papierkorb leeren?</translation>
    </message>
    <message>
        <source>Empty Trash</source>
        <translation>Papierkorb leeren</translation>
    </message>
    <message>
        <source>macOS asks for your administrator password. Deleted snapshots cannot be restored. Your Time Machine backups on the backup disk stay.</source>
        <translation>macOS fragt nach deinem Administratorpasswort. Gelöschte Schnappschüsse lassen sich nicht wiederherstellen. Deine Time-Machine-Backups auf dem Backup-Volume bleiben.</translation>
    </message>
    <message>
        <source>Delete Snapshots</source>
        <translation>Schnappschüsse löschen</translation>
    </message>
    <message>
        <source>Remove unavailable simulators?</source>
        <translation>Nicht verfügbare Simulatoren entfernen?</translation>
    </message>
    <message>
        <source>Xcode deletes these simulators with their apps and data. This does not use the Trash and cannot be undone. Simulators of your installed Xcode stay.</source>
        <translation>Xcode löscht diese Simulatoren mit ihren Apps und Daten. Das geht nicht über den Papierkorb und lässt sich nicht rückgängig machen. Simulatoren deines installierten Xcode bleiben.</translation>
    </message>
    <message>
        <source>Remove Unavailable</source>
        <translation>Nicht verfügbare entfernen</translation>
    </message>
    <message>
        <source>Items of %1</source>
        <translation>Objekte in %1</translation>
    </message>
    <message numerus="yes">
        <source>%Ln items</source>
        <translation>
            <numerusform>%Ln Objekt</numerusform>
            <numerusform>%Ln Objekte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete %Ln snapshots?</source>
        <translation>
            <numerusform>%Ln Schnappschuss löschen?</numerusform>
            <numerusform>%Ln Schnappschüsse löschen?</numerusform>
        </translation>
    </message>
    <message>
        <source>Emptying the Trash…</source>
        <translation>Papierkorb wird geleert…</translation>
    </message>
    <message>
        <source>Dovrane deletes everything in the Trash. This cannot be undone, and Cleaned Up can no longer put those items back.</source>
        <translation>Dovrane löscht alles im Papierkorb. Das lässt sich nicht rückgängig machen, und unter „Aufgeräumt“ lassen sich diese Objekte dann nicht mehr zurücklegen.</translation>
    </message>
</context>
<context>
    <name>dovrane::CategoryRow</name>
    <message>
        <source>not disclosed</source>
        <translation>nicht angegeben</translation>
    </message>
</context>
<context>
    <name>dovrane::CleanedPage</name>
    <message>
        <source>Cleaned Up</source>
        <translation>Aufgeräumt</translation>
    </message>
    <message>
        <source>Nothing cleaned up yet</source>
        <translation>Noch nichts aufgeräumt</translation>
    </message>
    <message>
        <source>What you move to the Trash with Dovrane shows up here, ready to put back.</source>
        <translation>Was du mit Dovrane in den Papierkorb legst, erscheint hier und kann zurückgelegt werden.</translation>
    </message>
    <message>
        <source>Dovrane moves things to the Trash. They stay there until you empty the Trash and confirm it.</source>
        <translation>Dovrane legt Dinge in den Papierkorb. Dort bleiben sie, bis du den Papierkorb leerst und das bestätigst.</translation>
    </message>
</context>
<context>
    <name>dovrane::CleanupSheet</name>
    <message>
        <source>This goes to the Trash</source>
        <translation>Das kommt in den Papierkorb</translation>
    </message>
    <message>
        <source>You can put everything back from Cleaned Up until you empty the Trash.</source>
        <translation>Unter „Aufgeräumt“ kannst du alles zurücklegen, bis du den Papierkorb leerst.</translation>
    </message>
    <message>
        <source>The space frees up once the Trash is emptied. Dovrane then shows what was really gained.</source>
        <translation>Der Platz wird frei, sobald der Papierkorb geleert ist. Dovrane zeigt dann, was wirklich gewonnen wurde.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb legen</translation>
    </message>
    <message>
        <source>What moves to the Trash</source>
        <translation>Was in den Papierkorb kommt</translation>
    </message>
    <message numerus="yes">
        <source>%Ln files, %1</source>
        <translation>
            <numerusform>%Ln Datei, %1</numerusform>
            <numerusform>%Ln Dateien, %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items are protected and stay where they are.</source>
        <translation>
            <numerusform>%Ln Objekt ist geschützt und bleibt, wo es ist.</numerusform>
            <numerusform>%Ln Objekte sind geschützt und bleiben, wo sie sind.</numerusform>
        </translation>
    </message>
    <message>
        <source>This item changed after the scan: it is no longer there.</source>
        <translation>Dieses Objekt hat sich nach dem Scan geändert: Es ist nicht mehr da.</translation>
    </message>
    <message>
        <source>This item changed after the scan: another item stands at its place now.</source>
        <translation>Dieses Objekt hat sich nach dem Scan geändert: An seiner Stelle steht jetzt ein anderes.</translation>
    </message>
    <message>
        <source>This item changed after the scan: it belongs to another user now.</source>
        <translation>Dieses Objekt hat sich nach dem Scan geändert: Es gehört jetzt einem anderen Benutzer.</translation>
    </message>
    <message>
        <source>This item changed after the scan: its project was changed since, so it may be in use again.</source>
        <translation>Dieses Objekt hat sich nach dem Scan geändert: Sein Projekt wurde seitdem bearbeitet und wird vielleicht wieder gebraucht.</translation>
    </message>
    <message>
        <source>This item changed after the scan: it is no longer an old installer, so it may have been downloaded again.</source>
        <translation>Dieses Objekt hat sich nach dem Scan geändert: Es ist kein alter Installer mehr und wurde vielleicht erneut heruntergeladen.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln more items changed after the scan and stay where they are.</source>
        <translation>
            <numerusform>%Ln weiteres Objekt hat sich nach dem Scan geändert und bleibt, wo es ist.</numerusform>
            <numerusform>%Ln weitere Objekte haben sich nach dem Scan geändert und bleiben, wo sie sind.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::ConfirmationDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>dovrane::ContentView</name>
    <message>
        <source>Dovrane</source>
        <translation>Dovrane</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Symbolleiste</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message numerus="yes">
        <source>%Ln leftovers without an app</source>
        <translation>
            <numerusform>%Ln Rest ohne App</numerusform>
            <numerusform>%Ln Reste ohne App</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::DBusNotifier</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
</context>
<context>
    <name>dovrane::DeveloperPage</name>
    <message>
        <source>Developer</source>
        <translation>Entwickler</translation>
    </message>
    <message>
        <source>Developer tools</source>
        <translation>Entwicklerwerkzeuge</translation>
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
        <source>Installed with Flatpak, remove it there</source>
        <translation>Mit Flatpak installiert, dort entfernen</translation>
    </message>
    <message>
        <source>Remove…</source>
        <translation>Entfernen…</translation>
    </message>
    <message>
        <source>Remove %1…</source>
        <translation>%1 entfernen…</translation>
    </message>
    <message>
        <source>Show in Files</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message numerus="yes">
        <source>%Ln apps</source>
        <translation>
            <numerusform>%Ln App</numerusform>
            <numerusform>%Ln Apps</numerusform>
        </translation>
    </message>
    <message>
        <source>Flatpak</source>
        <translation>Flatpak</translation>
    </message>
    <message>
        <source>Version %1, %2</source>
        <translation>Version %1, %2</translation>
    </message>
    <message>
        <source>Installed apps</source>
        <translation>Installierte Apps</translation>
    </message>
    <message>
        <source>Part of macOS, cannot be removed</source>
        <translation>Teil von macOS, kann nicht entfernt werden</translation>
    </message>
    <message>
        <source>Dovrane looks for AppImages in ~/Applications and ~/.local/bin, and for Flatpak apps.</source>
        <translation>Dovrane sucht AppImages in ~/Applications und ~/.local/bin sowie Flatpak-Apps.</translation>
    </message>
</context>
<context>
    <name>dovrane::Launch</name>
    <message>
        <source>Your settings could not be read and were reset. The old file is kept as %1.</source>
        <translation>Deine Einstellungen konnten nicht gelesen werden und wurden zurückgesetzt. Die alte Datei ist unter %1 aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>dovrane::Menus</name>
    <message>
        <source>&amp;Overview</source>
        <translation>&amp;Übersicht</translation>
    </message>
    <message>
        <source>&amp;Storage</source>
        <translation>&amp;Speicher</translation>
    </message>
    <message>
        <source>&amp;Apps</source>
        <translation>&amp;Apps</translation>
    </message>
    <message>
        <source>&amp;Updates</source>
        <translation>&amp;Updates</translation>
    </message>
    <message>
        <source>&amp;Developer</source>
        <translation>&amp;Entwickler</translation>
    </message>
    <message>
        <source>C&amp;leaned Up</source>
        <translation>Auf&amp;geräumt</translation>
    </message>
    <message>
        <source>&amp;Dovrane</source>
        <translation>&amp;Dovrane</translation>
    </message>
    <message>
        <source>&amp;Settings…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>Check for &amp;Updates…</source>
        <translation>Nach &amp;Updates suchen…</translation>
    </message>
    <message>
        <source>&amp;Quit Dovrane</source>
        <translation>Dovrane &amp;beenden</translation>
    </message>
    <message>
        <source>D&amp;isk</source>
        <translation>&amp;Festplatte</translation>
    </message>
    <message>
        <source>&amp;Scan Again</source>
        <translation>Erneut &amp;scannen</translation>
    </message>
    <message>
        <source>S&amp;top Scan</source>
        <translation>Scan s&amp;toppen</translation>
    </message>
    <message>
        <source>&amp;Clean Up Safe Items…</source>
        <translation>Gefahrlose Objekte &amp;aufräumen…</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>D&amp;arstellung</translation>
    </message>
    <message>
        <source>&amp;Command Palette…</source>
        <translation>&amp;Befehlspalette…</translation>
    </message>
    <message>
        <source>Show Side&amp;bar</source>
        <translation>Seiten&amp;leiste anzeigen</translation>
    </message>
    <message>
        <source>Show &amp;Toolbar</source>
        <translation>Symbolleis&amp;te anzeigen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Setup and Permissions…</source>
        <translation>&amp;Einrichtung und Berechtigungen…</translation>
    </message>
    <message>
        <source>Open File &amp;Access Settings…</source>
        <translation>Einstellungen für &amp;Dateizugriff öffnen…</translation>
    </message>
    <message>
        <source>Copy &amp;Diagnostics</source>
        <translation>Dia&amp;gnose kopieren</translation>
    </message>
    <message>
        <source>&amp;Email Support</source>
        <translation>&amp;Support per E-Mail</translation>
    </message>
</context>
<context>
    <name>dovrane::NoticeBar</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>dovrane::OnboardingView</name>
    <message>
        <source>Welcome to Dovrane</source>
        <translation>Willkommen bei Dovrane</translation>
    </message>
    <message>
        <source>Dovrane shows what fills your computer, explains every item in one sentence, and only ever moves things to the Trash.</source>
        <translation>Dovrane zeigt, was deinen Computer füllt, erklärt jedes Objekt in einem Satz und legt Dinge immer nur in den Papierkorb.</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Dovrane reads what your user account can read. There is nothing to switch on.</source>
        <translation>Dovrane liest, was dein Benutzerkonto lesen darf. Einschalten musst du nichts.</translation>
    </message>
    <message>
        <source>Dovrane reads sizes and names. It never opens or uploads file contents.</source>
        <translation>Dovrane liest Größen und Namen. Dateiinhalte öffnet oder überträgt es nie.</translation>
    </message>
    <message>
        <source>Allow</source>
        <translation>Erlauben</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Mitteilungen</translation>
    </message>
    <message>
        <source>Tells you once a day at most when app updates are ready.</source>
        <translation>Sagt dir höchstens einmal am Tag, wenn App-Updates bereitstehen.</translation>
    </message>
    <message>
        <source>No ads, no warnings to scare you.</source>
        <translation>Keine Werbung, keine Warnungen, die dir Angst machen.</translation>
    </message>
    <message>
        <source>Turn On</source>
        <translation>Einschalten</translation>
    </message>
    <message>
        <source>Open at Login</source>
        <translation>Beim Anmelden öffnen</translation>
    </message>
    <message>
        <source>Keeps the menu bar view and the daily update check running.</source>
        <translation>Hält die Menüleistenansicht und die tägliche Update-Prüfung am Laufen.</translation>
    </message>
    <message>
        <source>Dovrane does not clean anything on its own.</source>
        <translation>Dovrane räumt nichts von sich aus auf.</translation>
    </message>
    <message>
        <source>Full Disk Access takes effect after a restart.</source>
        <translation>Voller Festplattenzugriff wirkt nach einem Neustart.</translation>
    </message>
    <message>
        <source>Restart Dovrane</source>
        <translation>Dovrane neu starten</translation>
    </message>
    <message>
        <source>You can change all of this later in Dovrane&apos;s Settings.</source>
        <translation>Du kannst all das später in den Einstellungen von Dovrane ändern.</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>File Access</source>
        <translation>Dateizugriff</translation>
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
        <translation>In den Papierkorb legen…</translation>
    </message>
    <message numerus="yes">
        <source>%Ln leftovers</source>
        <translation>
            <numerusform>%Ln Rest</numerusform>
            <numerusform>%Ln Reste</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln selected</source>
        <translation>
            <numerusform>%Ln ausgewählt</numerusform>
            <numerusform>%Ln ausgewählt</numerusform>
        </translation>
    </message>
    <message>
        <source>Leftovers of removed apps</source>
        <translation>Reste entfernter Apps</translation>
    </message>
</context>
<context>
    <name>dovrane::OverviewPage</name>
    <message>
        <source>Overview</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>Clean Up Safe Items…</source>
        <translation>Gefahrlose Objekte aufräumen…</translation>
    </message>
    <message>
        <source>free of %1</source>
        <translation>frei von %1</translation>
    </message>
    <message>
        <source>Includes %1 that macOS frees on its own when it needs the space.</source>
        <translation>Enthält %1, die macOS selbst freigibt, wenn es den Platz braucht.</translation>
    </message>
    <message>
        <source>Measuring %1…</source>
        <translation>Misst %1…</translation>
    </message>
    <message>
        <source>%1, measured %2</source>
        <translation>%1, gemessen %2</translation>
    </message>
    <message>
        <source>This week: %1</source>
        <translation>Diese Woche: %1</translation>
    </message>
    <message>
        <source>What you can safely remove</source>
        <translation>Was du gefahrlos entfernen kannst</translation>
    </message>
    <message>
        <source>Moves to the Trash first. You can put everything back from Cleaned Up.</source>
        <translation>Kommt zuerst in den Papierkorb. Unter „Aufgeräumt“ kannst du alles zurücklegen.</translation>
    </message>
    <message>
        <source>Nothing right now. Caches, logs and old installers show up here when they pile up.</source>
        <translation>Gerade nichts. Caches, Protokolle und alte Installer erscheinen hier, wenn sie sich ansammeln.</translation>
    </message>
    <message>
        <source>Clean Up…</source>
        <translation>Aufräumen…</translation>
    </message>
    <message>
        <source>Review and move the safe items to the Trash (Ctrl-Return)</source>
        <translation>Gefahrlose Objekte prüfen und in den Papierkorb legen (Strg-Eingabe)</translation>
    </message>
    <message>
        <source>Measuring your disk</source>
        <translation>Deine Festplatte wird gemessen</translation>
    </message>
    <message>
        <source>This takes a minute or two the first time. You can keep working.</source>
        <translation>Beim ersten Mal dauert das ein, zwei Minuten. Du kannst weiterarbeiten.</translation>
    </message>
    <message>
        <source>No scan yet</source>
        <translation>Noch kein Scan</translation>
    </message>
    <message>
        <source>Dovrane measures what fills your disk. It reads sizes, never file contents.</source>
        <translation>Dovrane misst, was deine Festplatte füllt. Es liest Größen, nie Dateiinhalte.</translation>
    </message>
    <message>
        <source>Scan Now</source>
        <translation>Jetzt scannen</translation>
    </message>
</context>
<context>
    <name>dovrane::PermissionRow</name>
    <message>
        <source>On</source>
        <translation>Ein</translation>
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
        <source>%Ln items, %1, %2</source>
        <translation>
            <numerusform>%Ln Objekt, %1, %2</numerusform>
            <numerusform>%Ln Objekte, %1, %2</numerusform>
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
        <translation>Im Papierkorb anzeigen</translation>
    </message>
    <message>
        <source>Put Back %1</source>
        <translation>%1 zurücklegen</translation>
    </message>
</context>
<context>
    <name>dovrane::SafeRow</name>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Show %1</source>
        <translation>%1 anzeigen</translation>
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
    <name>dovrane::ScanToolbar</name>
    <message>
        <source>Scan Again</source>
        <translation>Erneut scannen</translation>
    </message>
    <message>
        <source>Measure the disk again (Ctrl-R)</source>
        <translation>Die Festplatte neu messen (Strg-R)</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>Stop the scan (Ctrl-Period)</source>
        <translation>Den Scan stoppen (Strg-Punkt)</translation>
    </message>
</context>
<context>
    <name>dovrane::StartupProblem</name>
    <message>
        <source>Dovrane</source>
        <translation>Dovrane</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Dovrane&apos;s database could not be read and was replaced by a new one. The old file is kept as %1.</source>
        <translation>Die Datenbank von Dovrane konnte nicht gelesen werden und wurde durch eine neue ersetzt. Die alte Datei ist unter %1 aufbewahrt.</translation>
    </message>
    <message numerus="yes">
        <source>The %Ln removals that could still be read from it were carried over.</source>
        <translation>
            <numerusform>Der %Ln Eintrag unter „Aufgeräumt“, der sich noch daraus lesen ließ, wurde übernommen.</numerusform>
            <numerusform>Die %Ln Einträge unter „Aufgeräumt“, die sich noch daraus lesen ließen, wurden übernommen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Dovrane&apos;s database %1 is a link to %2, and Dovrane does not write through links: removals made now are recorded only until Dovrane quits. To use the database again, quit Dovrane and move %2 to %1 in place of the link.</source>
        <translation>Die Datenbank von Dovrane, %1, ist ein Verweis auf %2, und Dovrane schreibt nicht durch einen Verweis: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Um die Datenbank wieder zu nutzen, beende Dovrane und verschiebe %2 nach %1, an die Stelle des Verweises.</translation>
    </message>
    <message>
        <source>Dovrane&apos;s database %1 is a link to %2, which is not there, and Dovrane does not write through links: removals made now are recorded only until Dovrane quits. Quit Dovrane and move the database to %1 in place of the link, or remove the link to start a new one.</source>
        <translation>Die Datenbank von Dovrane, %1, ist ein Verweis auf %2, wo keine Datei liegt, und Dovrane schreibt nicht durch einen Verweis: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Beende Dovrane und verschiebe die Datenbank nach %1, an die Stelle des Verweises, oder entferne den Verweis, um mit einer neuen zu beginnen.</translation>
    </message>
    <message>
        <source>Dovrane&apos;s database could not be read. The old file is kept as %1, but no new database could be made in its place (%2): removals made now are recorded only until Dovrane quits. Check that the folder %3 can be written, then start Dovrane again.</source>
        <translation>Die Datenbank von Dovrane konnte nicht gelesen werden. Die alte Datei ist unter %1 aufbewahrt, doch an ihrer Stelle ließ sich keine neue Datenbank anlegen (%2): Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Prüfe, ob der Ordner %3 beschrieben werden kann, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Anything the old database listed that is missing from Cleaned Up can still be put back from the Trash with your file manager.</source>
        <translation>Was die alte Datenbank aufführte und unter „Aufgeräumt“ fehlt, kannst du weiterhin mit deinem Dateimanager aus dem Papierkorb zurücklegen.</translation>
    </message>
    <message>
        <source>Dovrane&apos;s database %1 could not be read (%2), and it could not be moved aside to make room for a new one: removals made now are recorded only until Dovrane quits. Check that the folder %3 can be written, then start Dovrane again.</source>
        <translation>Die Datenbank von Dovrane, %1, konnte nicht gelesen werden (%2) und ließ sich nicht beiseitelegen, um Platz für eine neue zu machen: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Prüfe, ob der Ordner %3 beschrieben werden kann, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane does not write its database %1, since it was set to read-only (%2): removals made now are recorded only until Dovrane quits. To have them kept again, give yourself write permission on the file and its folder, then start Dovrane again.</source>
        <translation>Dovrane schreibt nicht in seine Datenbank %1, denn sie ist schreibgeschützt (%2): Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Damit es wieder erhalten bleibt, gib dir Schreibrechte für die Datei und ihren Ordner und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane&apos;s database %1 was written by a newer version of Dovrane, and this version leaves it as it is: removals made now are recorded only until Dovrane quits. To use the database again, install the newer version of Dovrane; to start a new database instead, quit Dovrane and move the file elsewhere.</source>
        <translation>Die Datenbank von Dovrane, %1, wurde von einer neueren Version von Dovrane geschrieben, und diese Version lässt sie, wie sie ist: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Um die Datenbank wieder zu nutzen, installiere die neuere Version von Dovrane; um stattdessen mit einer neuen Datenbank zu beginnen, beende Dovrane und verschiebe die Datei an einen anderen Ort.</translation>
    </message>
    <message>
        <source>Dovrane may not write its database %1 (%2) and leaves it as it is: removals made now are recorded only until Dovrane quits. Check that the file and its folder belong to you and that the disk is not mounted read-only, then start Dovrane again.</source>
        <translation>Dovrane darf nicht in seine Datenbank %1 schreiben (%2) und lässt sie, wie sie ist: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Prüfe, ob die Datei und ihr Ordner dir gehören und ob das Laufwerk nicht schreibgeschützt eingebunden ist, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane could not open its database %1 (%2) and leaves it as it is: removals made now are recorded only until Dovrane quits. Check that the file and its folder can be read and written, then start Dovrane again.</source>
        <translation>Dovrane konnte seine Datenbank %1 nicht öffnen (%2) und lässt sie, wie sie ist: Was du jetzt entfernst, wird nur festgehalten, bis Dovrane beendet wird. Prüfe, ob die Datei und ihr Ordner gelesen und geschrieben werden können, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane cannot keep its settings in the folder %1 (%2), so changes to them are not kept. Check that the folder can be created and written, then start Dovrane again.</source>
        <translation>Dovrane kann seine Einstellungen nicht im Ordner %1 ablegen (%2), deshalb bleiben Änderungen daran nicht erhalten. Prüfe, ob der Ordner angelegt und beschrieben werden kann, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane cannot keep its caches in the folder %1 (%2), so the last scan and update check are not kept for the next start. Check that the folder can be created and written, then start Dovrane again.</source>
        <translation>Dovrane kann seine Caches nicht im Ordner %1 ablegen (%2), deshalb bleiben der letzte Scan und die letzte Update-Prüfung für den nächsten Start nicht erhalten. Prüfe, ob der Ordner angelegt und beschrieben werden kann, und starte Dovrane dann erneut.</translation>
    </message>
    <message>
        <source>Dovrane&apos;s cache %1 is a link to %2, which Dovrane neither reads nor writes through, so the cache is not kept. Remove the link to have it kept again.</source>
        <translation>Der Cache von Dovrane, %1, ist ein Verweis auf %2, und Dovrane liest und schreibt nicht durch einen Verweis, deshalb bleibt der Cache nicht erhalten. Entferne den Verweis, damit er wieder erhalten bleibt.</translation>
    </message>
    <message>
        <source>Dovrane could not open its database %1, nor make a temporary one in its place.</source>
        <translation>Dovrane konnte seine Datenbank %1 nicht öffnen und auch keine vorübergehende an ihrer Stelle anlegen.</translation>
    </message>
    <message>
        <source>Check that the file and its folder can be read and written, then start Dovrane again.</source>
        <translation>Prüfe, ob die Datei und ihr Ordner gelesen und geschrieben werden können, und starte Dovrane dann erneut.</translation>
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
    <message>
        <source>%1 used of %2</source>
        <translation>%1 von %2 belegt</translation>
    </message>
</context>
<context>
    <name>dovrane::StoragePage</name>
    <message>
        <source>Storage</source>
        <translation>Speicher</translation>
    </message>
    <message>
        <source>System Data, broken down</source>
        <translation>Systemdaten, aufgeschlüsselt</translation>
    </message>
    <message>
        <source>Everything else</source>
        <translation>Alles andere</translation>
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
    <name>dovrane::UninstallSheet</name>
    <message>
        <source>Remove %1?</source>
        <translation>%1 entfernen?</translation>
    </message>
    <message>
        <source>Version %1, %2</source>
        <translation>Version %1, %2</translation>
    </message>
    <message>
        <source>No leftovers found. Only the app goes to the Trash.</source>
        <translation>Keine Reste gefunden. Nur die App kommt in den Papierkorb.</translation>
    </message>
    <message>
        <source>Leftovers</source>
        <translation>Reste</translation>
    </message>
    <message>
        <source>%1 is open. Dovrane asks it to quit first.</source>
        <translation>%1 ist geöffnet. Dovrane bittet die App zuerst, sich zu beenden.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Quit and Move to Trash</source>
        <translation>Beenden und in den Papierkorb legen</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb legen</translation>
    </message>
    <message>
        <source>Asks for your administrator password</source>
        <translation>Fragt nach deinem Administratorpasswort</translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>Gesamt: %1</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
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
    <message>
        <source>Open %1 in the App Store</source>
        <translation>%1 im App Store öffnen</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>%1 aktualisieren</translation>
    </message>
    <message>
        <source>Release notes of %1</source>
        <translation>Versionshinweise zu %1</translation>
    </message>
    <message>
        <source>Less of the notes of %1</source>
        <translation>Weniger Versionshinweise zu %1</translation>
    </message>
    <message>
        <source>More of the notes of %1</source>
        <translation>Mehr Versionshinweise zu %1</translation>
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
        <translation>%1 Prozent deiner Apps geprüft…</translation>
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
        <source>%Ln updates</source>
        <translation>
            <numerusform>%Ln Update</numerusform>
            <numerusform>%Ln Updates</numerusform>
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
        <source>Up to date (%Ln)</source>
        <translation>
            <numerusform>Aktuell (%Ln)</numerusform>
            <numerusform>Aktuell (%Ln)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not checked (%Ln)</source>
        <translation>
            <numerusform>Nicht geprüft (%Ln)</numerusform>
            <numerusform>Nicht geprüft (%Ln)</numerusform>
        </translation>
    </message>
    <message>
        <source>Dovrane found no apps to check.</source>
        <translation>Dovrane hat keine Apps zum Prüfen gefunden.</translation>
    </message>
    <message>
        <source>No app could be checked.</source>
        <translation>Keine App konnte geprüft werden.</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>Updates konnten nicht geprüft werden</translation>
    </message>
</context>
</TS>
