<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>FindingsBar</name>
    <message>
        <source>The saved file has errors; the form below is the one before them.</source>
        <translation>Il file salvato contiene errori; sotto c’è il modulo di prima.</translation>
    </message>
    <message>
        <source>Errors in the saved file</source>
        <translation>Errori nel file salvato</translation>
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
        <translation>Scegli un colore</translation>
    </message>
</context>
<context>
    <name>MTextArea</name>
    <message numerus="yes">
        <source>%n characters: too long to edit here; commands see all of them</source>
        <translation>
            <numerusform>%n carattere: troppo lungo da modificare qui; i comandi lo vedono intero</numerusform>
            <numerusform>%n caratteri: troppo lungo da modificare qui; i comandi li vedono tutti</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MTextEdit</name>
    <message numerus="yes">
        <source>%n characters: too long to edit here; commands see all of them</source>
        <translation>
            <numerusform>%n carattere: troppo lungo da modificare qui; i comandi lo vedono intero</numerusform>
            <numerusform>%n caratteri: troppo lungo da modificare qui; i comandi li vedono tutti</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MTextFile</name>
    <message>
        <source>All files (*)</source>
        <translation>Tutti i file (*)</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Apri</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salva</translation>
    </message>
</context>
<context>
    <name>RunningBar</name>
    <message>
        <source>Escape stops it</source>
        <translation>Esc lo ferma</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Ferma</translation>
    </message>
    <message>
        <source>Stop the running command</source>
        <translation>Ferma il comando in corso</translation>
    </message>
    <message>
        <source>Running… %1</source>
        <translation>In corso… %1</translation>
    </message>
    <message>
        <source>Stop (Esc)</source>
        <translation>Ferma (Esc)</translation>
    </message>
</context>
<context>
    <name>TextLogView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copia</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleziona tutto</translation>
    </message>
    <message>
        <source>[stopped; had to be killed]</source>
        <translation>[fermato; è stato necessario terminarlo]</translation>
    </message>
    <message>
        <source>[stopped]</source>
        <translation>[fermato]</translation>
    </message>
    <message>
        <source>Copied only the first %1 MiB</source>
        <translation>Copiati solo i primi %1 MiB</translation>
    </message>
</context>
<context>
    <name>kiv</name>
    <message>
        <source>%1 is not a file that holds a form.</source>
        <translation>%1 non è un file che contiene un modulo.</translation>
    </message>
    <message>
        <source>The form %1 cannot be opened: %2.</source>
        <translation>Impossibile aprire il modulo %1: %2.</translation>
    </message>
    <message>
        <source>Cannot start %1: %2</source>
        <translation>Impossibile avviare %1: %2</translation>
    </message>
    <message>
        <source>kiv: the form cannot be opened</source>
        <translation>kiv: impossibile aprire il modulo</translation>
    </message>
    <message>
        <source>Notice — kiv</source>
        <translation>Avviso — kiv</translation>
    </message>
</context>
</TS>
