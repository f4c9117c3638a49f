#include "qt_panels.h"

#include <QCoreApplication>
#include <QFileDialog>

#include "add_files_dialog.h"
#include "paths.h"

namespace krumple::app {

std::vector<std::filesystem::path> QtPanels::chooseFilesToAdd() {
    AddFilesDialog dialog(parent_);
    std::vector<std::filesystem::path> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& path : dialog.chosen()) chosen.push_back(pathFromQt(path));
    return chosen;
}

std::optional<std::filesystem::path> QtPanels::chooseOutputFolder() {
    QFileDialog dialog(parent_, QCoreApplication::translate("QtPanels", "Choose an output folder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Our own dialog, so the prompt reads "Choose" and "New Folder" is always there.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::Accept, QCoreApplication::translate("QtPanels", "Choose"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return pathFromQt(dialog.selectedFiles().constFirst());
}

}  // namespace krumple::app
