<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MButton</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
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
    <name>TextLogView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
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
