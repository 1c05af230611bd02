<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>FindingsBar</name>
    <message>
        <source>The saved file has errors; the form below is the one before them.</source>
        <translation>Die gespeicherte Datei hat Fehler; unten steht das Formular von vorher.</translation>
    </message>
    <message>
        <source>Errors in the saved file</source>
        <translation>Fehler in der gespeicherten Datei</translation>
    </message>
</context>
<context>
    <name>MButton</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MColor</name>
    <message>
        <source>Choose a colour</source>
        <translation>Farbe wählen</translation>
    </message>
</context>
<context>
    <name>MTextArea</name>
    <message numerus="yes">
        <source>%n characters: too long to edit here; commands see all of them</source>
        <translation>
            <numerusform>%n Zeichen: zu lang, um hier bearbeitet zu werden; Befehle sehen alle</numerusform>
            <numerusform>%n Zeichen: zu lang, um hier bearbeitet zu werden; Befehle sehen alle</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MTextEdit</name>
    <message numerus="yes">
        <source>%n characters: too long to edit here; commands see all of them</source>
        <translation>
            <numerusform>%n Zeichen: zu lang, um hier bearbeitet zu werden; Befehle sehen alle</numerusform>
            <numerusform>%n Zeichen: zu lang, um hier bearbeitet zu werden; Befehle sehen alle</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MTextFile</name>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>RunningBar</name>
    <message>
        <source>Escape stops it</source>
        <translation>Escape hält ihn an</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Stop the running command</source>
        <translation>Den laufenden Befehl anhalten</translation>
    </message>
    <message>
        <source>Running… %1</source>
        <translation>Läuft… %1</translation>
    </message>
    <message>
        <source>Stop (Esc)</source>
        <translation>Anhalten (Esc)</translation>
    </message>
</context>
<context>
    <name>TextLogView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <source>[stopped; had to be killed]</source>
        <translation>[angehalten; musste beendet werden]</translation>
    </message>
    <message>
        <source>[stopped]</source>
        <translation>[angehalten]</translation>
    </message>
    <message>
        <source>Copied only the first %1 MiB</source>
        <translation>Nur die ersten %1 MiB kopiert</translation>
    </message>
</context>
<context>
    <name>kiv</name>
    <message>
        <source>%1 is not a file that holds a form.</source>
        <translation>%1 ist keine Datei, die ein Formular enthält.</translation>
    </message>
    <message>
        <source>The form %1 cannot be opened: %2.</source>
        <translation>Das Formular %1 kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>Cannot start %1: %2</source>
        <translation>%1 kann nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>kiv: the form cannot be opened</source>
        <translation>kiv: Das Formular kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Notice — kiv</source>
        <translation>Hinweis — kiv</translation>
    </message>
</context>
</TS>
