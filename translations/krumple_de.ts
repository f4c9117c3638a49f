<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Accessible</name>
    <message>
        <source>%1, %2 of %3</source>
        <translation>%1, %2 von %3</translation>
    </message>
</context>
<context>
    <name>AppMenus</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Add Images…</source>
        <translation>Bilder hinzufügen…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Wider List</source>
        <translation>Liste breiter</translation>
    </message>
    <message>
        <source>Narrower List</source>
        <translation>Liste schmaler</translation>
    </message>
    <message>
        <source>Reset Panes</source>
        <translation>Bereiche zurücksetzen</translation>
    </message>
    <message>
        <source>Stop Converting</source>
        <translation>Konvertieren anhalten</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Liste leeren</translation>
    </message>
</context>
<context>
    <name>Detail</name>
    <message numerus="yes">
        <source>Animation, %n frames</source>
        <translation>
            <numerusform>Animation, %n Bild</numerusform>
            <numerusform>Animation, %n Bilder</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Difference</name>
    <message>
        <source>looks identical</source>
        <translation>wirkt identisch</translation>
    </message>
    <message>
        <source>nearly identical</source>
        <translation>nahezu identisch</translation>
    </message>
    <message>
        <source>small differences</source>
        <translation>kleine Unterschiede</translation>
    </message>
    <message>
        <source>visible differences</source>
        <translation>sichtbare Unterschiede</translation>
    </message>
    <message>
        <source>large differences</source>
        <translation>große Unterschiede</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>Can&apos;t read this image</source>
        <translation>Bild kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Couldn&apos;t decode the image</source>
        <translation>Bild konnte nicht dekodiert werden</translation>
    </message>
    <message>
        <source>Couldn&apos;t write the output</source>
        <translation>Ausgabe konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Doesn&apos;t fit in %1 (smallest %2)</source>
        <translation>Passt nicht in %1 (bestenfalls %2)</translation>
    </message>
</context>
<context>
    <name>FileRow</name>
    <message numerus="yes">
        <source>%n frames</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message>
        <source>First frame of %1</source>
        <translation>Erstes Bild von %1</translation>
    </message>
    <message>
        <source> · JPEG restorable</source>
        <translation> · JPEG wiederherstellbar</translation>
    </message>
    <message>
        <source> · JPEG not restorable</source>
        <translation> · JPEG nicht wiederherstellbar</translation>
    </message>
    <message>
        <source>Original kept (an animation: the output holds one frame)</source>
        <translation>Original behalten (eine Animation: das Ergebnis hat nur ein Bild)</translation>
    </message>
    <message>
        <source>Original kept (output was no smaller)</source>
        <translation>Original behalten (Ergebnis nicht kleiner)</translation>
    </message>
    <message>
        <source>Original kept (output was %1 larger)</source>
        <translation>Original behalten (Ergebnis %1 größer)</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>Converting…</source>
        <translation>Wird konvertiert…</translation>
    </message>
    <message>
        <source> · quality %1%</source>
        <translation> · Qualität %1%</translation>
    </message>
    <message>
        <source> · distance %1</source>
        <translation> · Distanz %1</translation>
    </message>
</context>
<context>
    <name>FooterBar</name>
    <message>
        <source>No files</source>
        <translation>Keine Dateien</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) · %1</source>
        <translation>
            <numerusform>%n Datei · %1</numerusform>
            <numerusform>%n Dateien · %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n original(s) kept</source>
        <translation>
            <numerusform>%n Original behalten</numerusform>
            <numerusform>%n Originale behalten</numerusform>
        </translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>Gesamt: %1</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>Choose an output folder first</source>
        <translation>Zuerst einen Zielordner wählen</translation>
    </message>
    <message numerus="yes">
        <source>%n of %1 converted</source>
        <translation>
            <numerusform>%n von %1 konvertiert</numerusform>
            <numerusform>%n von %1 konvertiert</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n fehlgeschlagen</numerusform>
            <numerusform>%n fehlgeschlagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n not started</source>
        <translation>
            <numerusform>%n nicht begonnen</numerusform>
            <numerusform>%n nicht begonnen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Convert %n Image(s)</source>
        <translation>
            <numerusform>%n Bild konvertieren</numerusform>
            <numerusform>%n Bilder konvertieren</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QtPanels</name>
    <message>
        <source>Choose an output folder</source>
        <translation>Zielordner wählen</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Wählen</translation>
    </message>
</context>
<context>
    <name>krumple::BusySpinner</name>
    <message>
        <source>Loading</source>
        <translation>Wird geladen</translation>
    </message>
</context>
<context>
    <name>krumple::ComparePane</name>
    <message>
        <source>%1 picture</source>
        <translation>Bild: %1</translation>
    </message>
</context>
<context>
    <name>krumple::CompareView</name>
    <message>
        <source>Difference</source>
        <translation>Unterschiede</translation>
    </message>
    <message>
        <source>Show where the converted image differs from the original, as a heat map</source>
        <translation>Als Heatmap zeigen, wo das konvertierte Bild vom Original abweicht</translation>
    </message>
    <message>
        <source>Loupe</source>
        <translation>Lupe</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Converted</source>
        <translation>Konvertiert</translation>
    </message>
    <message>
        <source>Move the pointer over either image, or focus one and use the arrow keys, to inspect both at the same spot.</source>
        <translation>Den Zeiger über eines der Bilder bewegen oder, wenn es den Fokus hat, seine Pfeiltasten drücken, um beide an derselben Stelle zu prüfen.</translation>
    </message>
    <message>
        <source>measuring the difference…</source>
        <translation>Unterschied wird gemessen…</translation>
    </message>
</context>
<context>
    <name>krumple::StatusPlaceholder</name>
    <message>
        <source>Converting…</source>
        <translation>Wird konvertiert…</translation>
    </message>
    <message>
        <source>Not converted yet</source>
        <translation>Noch nicht konvertiert</translation>
    </message>
</context>
<context>
    <name>krumple::ZoomControl</name>
    <message>
        <source>Loupe zoom</source>
        <translation>Lupenvergrößerung</translation>
    </message>
    <message>
        <source>%1×</source>
        <translation>%1×</translation>
    </message>
    <message>
        <source>Zoom %1×</source>
        <translation>Vergrößerung %1×</translation>
    </message>
</context>
<context>
    <name>krumple::app::AddFilesDialog</name>
    <message>
        <source>Images and folders (%1)</source>
        <translation>Bilder und Ordner (%1)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add Images</source>
        <translation>Bilder hinzufügen</translation>
    </message>
</context>
<context>
    <name>krumple::app::EmptyState</name>
    <message>
        <source>Drop images or folders here</source>
        <translation>Bilder oder Ordner hierher ziehen</translation>
    </message>
    <message>
        <source>PNG, JPEG, HEIC, TIFF, WebP and anything else your system can read</source>
        <translation>PNG, JPEG, HEIC, TIFF, WebP und alles andere, was Ihr System lesen kann</translation>
    </message>
    <message>
        <source>Add Images…</source>
        <translation>Bilder hinzufügen…</translation>
    </message>
</context>
<context>
    <name>krumple::app::FileList</name>
    <message>
        <source>Show Original in File Manager</source>
        <translation>Original im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Show Converted in File Manager</source>
        <translation>Konvertierte Datei im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Files to convert</source>
        <translation>Zu konvertierende Dateien</translation>
    </message>
</context>
<context>
    <name>krumple::app::FooterBar</name>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <translation>Fortschritt der Konvertierung</translation>
    </message>
</context>
<context>
    <name>krumple::app::MainWindow</name>
    <message>
        <source>Files and comparison</source>
        <translation>Dateien und Vergleich</translation>
    </message>
    <message>
        <source>Divider between the files and the comparison</source>
        <translation>Trenner zwischen Dateien und Vergleich</translation>
    </message>
</context>
<context>
    <name>krumple::app::PlaceholderView</name>
    <message>
        <source>Select a file to compare</source>
        <translation>Eine Datei zum Vergleichen auswählen</translation>
    </message>
</context>
<context>
    <name>krumple::app::SettingsPanel</name>
    <message>
        <source>Lossless</source>
        <translation>Verlustfrei</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>visually lossless</source>
        <translation>visuell verlustfrei</translation>
    </message>
    <message>
        <source>excellent</source>
        <translation>ausgezeichnet</translation>
    </message>
    <message>
        <source>very good</source>
        <translation>sehr gut</translation>
    </message>
    <message>
        <source>good</source>
        <translation>gut</translation>
    </message>
    <message>
        <source>kB</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>Strip metadata</source>
        <translation>Ohne Metadaten</translation>
    </message>
    <message>
        <source>Keep dates</source>
        <translation>Datum behalten</translation>
    </message>
    <message>
        <source>Keep only smaller files</source>
        <translation>Nur kleinere Dateien behalten</translation>
    </message>
    <message>
        <source>Keep folder structure</source>
        <translation>Ordnerstruktur beibehalten</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Fest</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>At most</source>
        <translation>Höchstens</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Auto, but no file larger than this: a larger one gives way to the best quality that fits.</source>
        <translation>Auto, aber keine Datei größer als diese: eine größere weicht der besten Qualität, die hineinpasst.</translation>
    </message>
    <message>
        <source>Fixed: one quality for every image. Auto: per image, the lowest quality that looks as good as asked. At most: per image, the best quality within a file size.</source>
        <translation>Fest: eine Qualität für alle Bilder. Auto: je Bild die niedrigste Qualität, die so gut aussieht wie gewünscht. Höchstens: je Bild die beste Qualität innerhalb einer Dateigröße.</translation>
    </message>
    <message>
        <source>px</source>
        <translation>px</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>width</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>height</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>longer side</source>
        <translation>lange Seite</translation>
    </message>
    <message>
        <source>Give each output its original&apos;s modification and access times</source>
        <translation>Jede Ausgabedatei erhält die Änderungs- und Zugriffszeit ihres Originals</translation>
    </message>
    <message>
        <source>When an output would not be smaller than its original, keep the original instead</source>
        <translation>Wäre eine Ausgabedatei nicht kleiner als ihr Original, stattdessen das Original behalten</translation>
    </message>
    <message>
        <source>Recreate the dropped folders and their subfolders inside the output folder</source>
        <translation>Die abgelegten Ordner samt Unterordnern im Zielordner nachbilden</translation>
    </message>
    <message>
        <source>Next to originals</source>
        <translation>Neben Originalen</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Save to</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Largest Butteraugli distance: %1</source>
        <translation>Größte Butteraugli-Distanz: %1</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Wählen…</translation>
    </message>
    <message>
        <source>Choose an output folder</source>
        <translation>Zielordner wählen</translation>
    </message>
    <message>
        <source>Quality mode</source>
        <translation>Qualitätsmodus</translation>
    </message>
    <message>
        <source>Largest file size in kB</source>
        <translation>Größte Dateigröße in kB</translation>
    </message>
    <message>
        <source>At most a file size</source>
        <translation>Höchstens eine Dateigröße</translation>
    </message>
    <message>
        <source>Largest size in pixels</source>
        <translation>Größte Abmessung in Pixeln</translation>
    </message>
    <message>
        <source>Limit the size</source>
        <translation>Größe begrenzen</translation>
    </message>
    <message>
        <source>Limited side</source>
        <translation>Begrenzte Seite</translation>
    </message>
    <message>
        <source>Output folder</source>
        <translation>Ausgabeordner</translation>
    </message>
</context>
</TS>
