<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MenuBarView</name>
    <message numerus="yes">
        <source>%n app updates ready</source>
        <translation>
            <numerusform>%n app updates ready</numerusform>
            <numerusform>%n app updates ready</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message numerus="yes">
        <source>Older than %n days</source>
        <translation>
            <numerusform>Older than %n day</numerusform>
            <numerusform>Older than %n days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Unchanged for %n days</source>
        <translation>
            <numerusform>Unchanged for %n day</numerusform>
            <numerusform>Unchanged for %n days</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::AppModel</name>
    <message numerus="yes">
        <source>%n items could not be moved.</source>
        <translation>
            <numerusform>%n item could not be moved.</numerusform>
            <numerusform>%n items could not be moved.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items stayed in the Trash because something else is at their original place.</source>
        <translation>
            <numerusform>%n item stayed in the Trash because something else is at its original place.</numerusform>
            <numerusform>%n items stayed in the Trash because something else is at their original place.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items are back where they were.</source>
        <translation>
            <numerusform>%n item is back where it was.</numerusform>
            <numerusform>%n items are back where they were.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n snapshots deleted. Measured gain: %1.</source>
        <translation>
            <numerusform>%n snapshot deleted. Measured gain: %1.</numerusform>
            <numerusform>%n snapshots deleted. Measured gain: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n leftovers</source>
        <translation>
            <numerusform>%1 and %n leftover</numerusform>
            <numerusform>%1 and %n leftovers</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n app updates are ready</source>
        <translation>
            <numerusform>%n app update is ready</numerusform>
            <numerusform>%n app updates are ready</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::CategoryDetail</name>
    <message numerus="yes">
        <source>%n items</source>
        <translation>
            <numerusform>%n item</numerusform>
            <numerusform>%n items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete %n snapshots?</source>
        <translation>
            <numerusform>Delete %n snapshot?</numerusform>
            <numerusform>Delete %n snapshots?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::CleanupSheet</name>
    <message numerus="yes">
        <source>%n files, %1</source>
        <translation>
            <numerusform>%n file, %1</numerusform>
            <numerusform>%n files, %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items are protected and stay where they are.</source>
        <translation>
            <numerusform>%n item is protected and stays where it is.</numerusform>
            <numerusform>%n items are protected and stay where they are.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::InstalledTable</name>
    <message numerus="yes">
        <source>%n apps</source>
        <translation>
            <numerusform>%n app</numerusform>
            <numerusform>%n apps</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::OrphanTable</name>
    <message numerus="yes">
        <source>%n leftovers</source>
        <translation>
            <numerusform>%n leftover</numerusform>
            <numerusform>%n leftovers</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n selected</source>
        <translation>
            <numerusform>%n selected</numerusform>
            <numerusform>%n selected</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::RemovalRow</name>
    <message numerus="yes">
        <source>%n items, %1, %2</source>
        <translation>
            <numerusform>%n item, %1, %2</numerusform>
            <numerusform>%n items, %1, %2</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::UpdatesPage</name>
    <message numerus="yes">
        <source>%n updates</source>
        <translation>
            <numerusform>%n update</numerusform>
            <numerusform>%n updates</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Up to date (%n)</source>
        <translation>
            <numerusform>Up to date (%n)</numerusform>
            <numerusform>Up to date (%n)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not checked (%n)</source>
        <translation>
            <numerusform>Not checked (%n)</numerusform>
            <numerusform>Not checked (%n)</numerusform>
        </translation>
    </message>
</context>
</TS>
