#include "add_files_dialog.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QLineEdit>

namespace krumple::app {
namespace {

// Images by name in the dialog's filter; what really counts is whether the
// image library can open a file, which adding checks.
const char* const imagePatterns =
    "*.jpg *.jpeg *.jpe *.jfif *.png *.heic *.heif *.hif *.avif *.jxl *.webp *.tif *.tiff *.gif *.bmp "
    "*.jp2 *.j2k *.ppm *.pgm *.pbm *.pnm *.pfm";

}  // namespace

AddFilesDialog::AddFilesDialog(QWidget* parent) : QFileDialog(parent) {
    // The platform's own dialogs pick either files or folders, never both.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({tr("Images and folders (%1)").arg(QLatin1String(imagePatterns)), tr("All files (*)")});
    setLabelText(QFileDialog::Accept, tr("Add"));
    setWindowTitle(tr("Add Images"));
    allowPickingSeveral();
}

void AddFilesDialog::allowPickingSeveral() {
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>()) {
        if (view->objectName() == QLatin1String("listView") || view->objectName() == QLatin1String("treeView"))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
}

void AddFilesDialog::accept() {
    QStringList picked;
    for (const QString& path : selectedFiles())
        if (QFileInfo::exists(path)) picked << path;
    if (picked.isEmpty()) {
        // Nothing chosen yet (or a folder name typed): the usual behaviour.
        QFileDialog::accept();
        return;
    }
    chosen_ = picked;
    QDialog::accept();
}

}  // namespace krumple::app
