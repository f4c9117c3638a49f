#include "add_files_dialog.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QLineEdit>

#include "image_names.h"

namespace krumple::app {
namespace {

// Images by name in the dialog's filter; what really counts is whether the
// image library can open a file, which adding checks.
QString imagePatterns() {
    QStringList patterns;
    for (const std::string_view extension : imageExtensions)
        patterns << QStringLiteral("*.") + QString::fromLatin1(extension.data(), static_cast<qsizetype>(extension.size()));
    return patterns.join(QLatin1Char(' '));
}

}  // namespace

AddFilesDialog::AddFilesDialog(QWidget* parent) : QFileDialog(parent) {
    // The platform's own dialogs pick either files or folders, never both.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({tr("Images and folders (%1)").arg(imagePatterns()), tr("All files (*)")});
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
