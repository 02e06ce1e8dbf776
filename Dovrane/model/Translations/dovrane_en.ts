<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>FolderList</name>
    <message numerus="yes">
        <source>%Ln more folders are not shown here.</source>
        <translation>
            <numerusform>%Ln more folder is not shown here.</numerusform>
            <numerusform>%Ln more folders are not shown here.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message numerus="yes">
        <source>%Ln app updates ready</source>
        <translation>
            <numerusform>%Ln app updates ready</numerusform>
            <numerusform>%Ln app updates ready</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message numerus="yes">
        <source>Older than %Ln days</source>
        <translation>
            <numerusform>Older than %Ln day</numerusform>
            <numerusform>Older than %Ln days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Unchanged for %Ln days</source>
        <translation>
            <numerusform>Unchanged for %Ln day</numerusform>
            <numerusform>Unchanged for %Ln days</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Wording</name>
    <message numerus="yes">
        <source>%1 and %Ln leftovers</source>
        <translation>
            <numerusform>%1 and %Ln leftover</numerusform>
            <numerusform>%1 and %Ln leftovers</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::AppModel</name>
    <message numerus="yes">
        <source>%Ln items could not be moved.</source>
        <translation>
            <numerusform>%Ln item could not be moved.</numerusform>
            <numerusform>%Ln items could not be moved.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items stayed in the Trash because something else is at their original place.</source>
        <translation>
            <numerusform>%Ln item stayed in the Trash because something else is at its original place.</numerusform>
            <numerusform>%Ln items stayed in the Trash because something else is at their original place.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items are back where they were.</source>
        <translation>
            <numerusform>%Ln item is back where it was.</numerusform>
            <numerusform>%Ln items are back where they were.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln snapshots deleted. Measured gain: %1.</source>
        <translation>
            <numerusform>%Ln snapshot deleted. Measured gain: %1.</numerusform>
            <numerusform>%Ln snapshots deleted. Measured gain: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln app updates are ready</source>
        <translation>
            <numerusform>%Ln app update is ready</numerusform>
            <numerusform>%Ln app updates are ready</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items could not be put back.</source>
        <translation>
            <numerusform>%Ln item could not be put back.</numerusform>
            <numerusform>%Ln items could not be put back.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items were already back where they were.</source>
        <translation>
            <numerusform>%Ln item was already back where it was.</numerusform>
            <numerusform>%Ln items were already back where they were.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::CategoryDetail</name>
    <message numerus="yes">
        <source>%Ln items</source>
        <translation>
            <numerusform>%Ln item</numerusform>
            <numerusform>%Ln items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete %Ln snapshots?</source>
        <translation>
            <numerusform>Delete %Ln snapshot?</numerusform>
            <numerusform>Delete %Ln snapshots?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::CleanupSheet</name>
    <message numerus="yes">
        <source>%Ln files, %1</source>
        <translation>
            <numerusform>%Ln file, %1</numerusform>
            <numerusform>%Ln files, %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln items are protected and stay where they are.</source>
        <translation>
            <numerusform>%Ln item is protected and stays where it is.</numerusform>
            <numerusform>%Ln items are protected and stay where they are.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln more items changed after the scan and stay where they are.</source>
        <translation>
            <numerusform>%Ln more item changed after the scan and stays where it is.</numerusform>
            <numerusform>%Ln more items changed after the scan and stay where they are.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::ContentView</name>
    <message numerus="yes">
        <source>%Ln leftovers without an app</source>
        <translation>
            <numerusform>%Ln leftover without an app</numerusform>
            <numerusform>%Ln leftovers without an app</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::InstalledTable</name>
    <message numerus="yes">
        <source>%Ln apps</source>
        <translation>
            <numerusform>%Ln app</numerusform>
            <numerusform>%Ln apps</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::OrphanTable</name>
    <message numerus="yes">
        <source>%Ln leftovers</source>
        <translation>
            <numerusform>%Ln leftover</numerusform>
            <numerusform>%Ln leftovers</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln selected</source>
        <translation>
            <numerusform>%Ln selected</numerusform>
            <numerusform>%Ln selected</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::RemovalRow</name>
    <message numerus="yes">
        <source>%Ln items, %1, %2</source>
        <translation>
            <numerusform>%Ln item, %1, %2</numerusform>
            <numerusform>%Ln items, %1, %2</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::StartupProblem</name>
    <message numerus="yes">
        <source>The %Ln removals that could still be read from it were carried over.</source>
        <translation>
            <numerusform>The %Ln removal that could still be read from it was carried over.</numerusform>
            <numerusform>The %Ln removals that could still be read from it were carried over.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dovrane::UpdatesPage</name>
    <message numerus="yes">
        <source>%Ln updates</source>
        <translation>
            <numerusform>%Ln update</numerusform>
            <numerusform>%Ln updates</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Up to date (%Ln)</source>
        <translation>
            <numerusform>Up to date (%Ln)</numerusform>
            <numerusform>Up to date (%Ln)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not checked (%Ln)</source>
        <translation>
            <numerusform>Not checked (%Ln)</numerusform>
            <numerusform>Not checked (%Ln)</numerusform>
        </translation>
    </message>
</context>
</TS>
