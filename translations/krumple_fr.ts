<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Accessible</name>
    <message>
        <source>%1, %2 of %3</source>
        <translation>%1, %2 sur %3</translation>
    </message>
</context>
<context>
    <name>AppMenus</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>Add Images…</source>
        <translation>Ajouter des images…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Édition</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Affichage</translation>
    </message>
    <message>
        <source>Wider List</source>
        <translation>Liste plus large</translation>
    </message>
    <message>
        <source>Narrower List</source>
        <translation>Liste plus étroite</translation>
    </message>
    <message>
        <source>Reset Panes</source>
        <translation>Réinitialiser les volets</translation>
    </message>
    <message>
        <source>Stop Converting</source>
        <translation>Arrêter la conversion</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Vider la liste</translation>
    </message>
</context>
<context>
    <name>Detail</name>
    <message numerus="yes">
        <source>Animation, %n frames</source>
        <translation>
            <numerusform>Animation, %n image</numerusform>
            <numerusform>Animation, %n images</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Difference</name>
    <message>
        <source>looks identical</source>
        <translation>semble identique</translation>
    </message>
    <message>
        <source>nearly identical</source>
        <translation>presque identique</translation>
    </message>
    <message>
        <source>small differences</source>
        <translation>légères différences</translation>
    </message>
    <message>
        <source>visible differences</source>
        <translation>différences visibles</translation>
    </message>
    <message>
        <source>large differences</source>
        <translation>fortes différences</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>Can&apos;t read this image</source>
        <translation>Impossible de lire cette image</translation>
    </message>
    <message>
        <source>Couldn&apos;t decode the image</source>
        <translation>Impossible de décoder l’image</translation>
    </message>
    <message>
        <source>Couldn&apos;t write the output</source>
        <translation>Impossible d’écrire le fichier converti</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Annulé</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Échec</translation>
    </message>
    <message>
        <source>Doesn&apos;t fit in %1 (smallest %2)</source>
        <translation>Ne tient pas en %1 (au mieux %2)</translation>
    </message>
</context>
<context>
    <name>FileRow</name>
    <message numerus="yes">
        <source>%n frames</source>
        <translation>
            <numerusform>%n image</numerusform>
            <numerusform>%n images</numerusform>
        </translation>
    </message>
    <message>
        <source>First frame of %1</source>
        <translation>Première image sur %1</translation>
    </message>
    <message>
        <source> · JPEG restorable</source>
        <translation> · JPEG restituable</translation>
    </message>
    <message>
        <source> · JPEG not restorable</source>
        <translation> · JPEG non restituable</translation>
    </message>
    <message>
        <source>Original kept (an animation: the output holds one frame)</source>
        <translation>Original conservé (une animation : le résultat n’a qu’une image)</translation>
    </message>
    <message>
        <source>Original kept (output was no smaller)</source>
        <translation>Original conservé (résultat pas plus léger)</translation>
    </message>
    <message>
        <source>Original kept (output was %1 larger)</source>
        <translation>Original conservé (résultat %1 plus lourd)</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>En attente</translation>
    </message>
    <message>
        <source>Converting…</source>
        <translation>Conversion…</translation>
    </message>
    <message>
        <source> · quality %1%</source>
        <translation> · qualité %1%</translation>
    </message>
    <message>
        <source> · distance %1</source>
        <translation> · distance %1</translation>
    </message>
</context>
<context>
    <name>FooterBar</name>
    <message>
        <source>No files</source>
        <translation>Aucun fichier</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) · %1</source>
        <translation>
            <numerusform>%n fichier · %1</numerusform>
            <numerusform>%n fichiers · %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n original(s) kept</source>
        <translation>
            <numerusform>%n original conservé</numerusform>
            <numerusform>%n originaux conservés</numerusform>
        </translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>Total&#xa0;: %1</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>Choose an output folder first</source>
        <translation>Choisissez d’abord un dossier de destination</translation>
    </message>
    <message numerus="yes">
        <source>%n of %1 converted</source>
        <translation>
            <numerusform>%n sur %1 converti</numerusform>
            <numerusform>%n sur %1 convertis</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n échec</numerusform>
            <numerusform>%n échecs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n not started</source>
        <translation>
            <numerusform>%n non commencé</numerusform>
            <numerusform>%n non commencés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Convert %n Image(s)</source>
        <translation>
            <numerusform>Convertir %n image</numerusform>
            <numerusform>Convertir %n images</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QtPanels</name>
    <message>
        <source>Choose an output folder</source>
        <translation>Choisir un dossier de destination</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Choisir</translation>
    </message>
</context>
<context>
    <name>krumple::BusySpinner</name>
    <message>
        <source>Loading</source>
        <translation>Chargement</translation>
    </message>
</context>
<context>
    <name>krumple::ComparePane</name>
    <message>
        <source>%1 picture</source>
        <translation>Image : %1</translation>
    </message>
</context>
<context>
    <name>krumple::CompareView</name>
    <message>
        <source>Difference</source>
        <translation>Différences</translation>
    </message>
    <message>
        <source>Show where the converted image differs from the original, as a heat map</source>
        <translation>Montrer sous forme de carte thermique où l’image convertie diffère de l’original</translation>
    </message>
    <message>
        <source>Loupe</source>
        <translation>Loupe</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Converted</source>
        <translation>Converti</translation>
    </message>
    <message>
        <source>Move the pointer over either image, or focus one and use the arrow keys, to inspect both at the same spot.</source>
        <translation>Survolez l’une des images, ou utilisez les flèches quand elle a le focus, pour examiner les deux au même endroit.</translation>
    </message>
    <message>
        <source>measuring the difference…</source>
        <translation>mesure de la différence…</translation>
    </message>
</context>
<context>
    <name>krumple::StatusPlaceholder</name>
    <message>
        <source>Converting…</source>
        <translation>Conversion…</translation>
    </message>
    <message>
        <source>Not converted yet</source>
        <translation>Pas encore converti</translation>
    </message>
</context>
<context>
    <name>krumple::ZoomControl</name>
    <message>
        <source>Loupe zoom</source>
        <translation>Grossissement de la loupe</translation>
    </message>
    <message>
        <source>%1×</source>
        <translation>%1×</translation>
    </message>
    <message>
        <source>Zoom %1×</source>
        <translation>Grossissement %1×</translation>
    </message>
</context>
<context>
    <name>krumple::app::AddFilesDialog</name>
    <message>
        <source>Images and folders (%1)</source>
        <translation>Images et dossiers (%1)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Add Images</source>
        <translation>Ajouter des images</translation>
    </message>
</context>
<context>
    <name>krumple::app::EmptyState</name>
    <message>
        <source>Drop images or folders here</source>
        <translation>Déposez des images ou des dossiers ici</translation>
    </message>
    <message>
        <source>PNG, JPEG, HEIC, TIFF, WebP and anything else your system can read</source>
        <translation>PNG, JPEG, HEIC, TIFF, WebP et tout ce que votre système sait lire</translation>
    </message>
    <message>
        <source>Add Images…</source>
        <translation>Ajouter des images…</translation>
    </message>
</context>
<context>
    <name>krumple::app::FileList</name>
    <message>
        <source>Show Original in File Manager</source>
        <translation>Afficher l’original dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <source>Show Converted in File Manager</source>
        <translation>Afficher le fichier converti dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Files to convert</source>
        <translation>Fichiers à convertir</translation>
    </message>
</context>
<context>
    <name>krumple::app::FooterBar</name>
    <message>
        <source>Clear</source>
        <translation>Vider</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <translation>Progression de la conversion</translation>
    </message>
</context>
<context>
    <name>krumple::app::MainWindow</name>
    <message>
        <source>Files and comparison</source>
        <translation>Fichiers et comparaison</translation>
    </message>
    <message>
        <source>Divider between the files and the comparison</source>
        <translation>Séparateur entre les fichiers et la comparaison</translation>
    </message>
</context>
<context>
    <name>krumple::app::PlaceholderView</name>
    <message>
        <source>Select a file to compare</source>
        <translation>Sélectionnez un fichier à comparer</translation>
    </message>
</context>
<context>
    <name>krumple::app::SettingsPanel</name>
    <message>
        <source>Lossless</source>
        <translation>Sans perte</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>visually lossless</source>
        <translation>visuellement sans perte</translation>
    </message>
    <message>
        <source>excellent</source>
        <translation>excellente</translation>
    </message>
    <message>
        <source>very good</source>
        <translation>très bonne</translation>
    </message>
    <message>
        <source>good</source>
        <translation>bonne</translation>
    </message>
    <message>
        <source>kB</source>
        <translation>Ko</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>Strip metadata</source>
        <translation>Sans métadonnées</translation>
    </message>
    <message>
        <source>Keep dates</source>
        <translation>Garder les dates</translation>
    </message>
    <message>
        <source>Keep only smaller files</source>
        <translation>Ne garder que les fichiers plus petits</translation>
    </message>
    <message>
        <source>Keep folder structure</source>
        <translation>Conserver l’arborescence</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Fixe</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>At most</source>
        <translation>Au plus</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>Auto, but no file larger than this: a larger one gives way to the best quality that fits.</source>
        <translation>Auto, mais aucun fichier plus grand que ceci : un fichier plus grand cède la place à la meilleure qualité qui tient.</translation>
    </message>
    <message>
        <source>Fixed: one quality for every image. Auto: per image, the lowest quality that looks as good as asked. At most: per image, the best quality within a file size.</source>
        <translation>Fixe&#xa0;: une qualité pour toutes les images. Auto&#xa0;: pour chaque image, la qualité la plus basse qui rend aussi bien que demandé. Au plus&#xa0;: pour chaque image, la meilleure qualité qui tient dans une taille de fichier.</translation>
    </message>
    <message>
        <source>px</source>
        <translation>px</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>width</source>
        <translation>largeur</translation>
    </message>
    <message>
        <source>height</source>
        <translation>hauteur</translation>
    </message>
    <message>
        <source>longer side</source>
        <translation>côté long</translation>
    </message>
    <message>
        <source>Give each output its original&apos;s modification and access times</source>
        <translation>Donner à chaque fichier converti les dates de modification et d’accès de son original</translation>
    </message>
    <message>
        <source>When an output would not be smaller than its original, keep the original instead</source>
        <translation>Si un fichier converti n’est pas plus petit que son original, garder l’original à la place</translation>
    </message>
    <message>
        <source>Recreate the dropped folders and their subfolders inside the output folder</source>
        <translation>Recréer les dossiers déposés et leurs sous-dossiers dans le dossier de destination</translation>
    </message>
    <message>
        <source>Next to originals</source>
        <translation>Dossier d’origine</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Save to</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Fichiers</translation>
    </message>
    <message>
        <source>Largest Butteraugli distance: %1</source>
        <translation>Distance Butteraugli maximale&#xa0;: %1</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Choose an output folder</source>
        <translation>Choisir un dossier de destination</translation>
    </message>
    <message>
        <source>Quality mode</source>
        <translation>Mode de qualité</translation>
    </message>
    <message>
        <source>Largest file size in kB</source>
        <translation>Taille de fichier maximale en ko</translation>
    </message>
    <message>
        <source>At most a file size</source>
        <translation>Au plus une taille de fichier</translation>
    </message>
    <message>
        <source>Largest size in pixels</source>
        <translation>Dimension maximale en pixels</translation>
    </message>
    <message>
        <source>Limit the size</source>
        <translation>Limiter la taille</translation>
    </message>
    <message>
        <source>Limited side</source>
        <translation>Côté limité</translation>
    </message>
    <message>
        <source>Output folder</source>
        <translation>Dossier de sortie</translation>
    </message>
</context>
</TS>
