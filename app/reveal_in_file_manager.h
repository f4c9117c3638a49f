#pragma once

#include <filesystem>

class QObject;

namespace krumple::app {

// Shows the file selected in the desktop's file manager
// (org.freedesktop.FileManager1.ShowItems on the session bus). Without a bus
// or a file manager that answers, opens the folder that holds it instead.
// Returns at once; the file is not checked.
void revealInFileManager(const std::filesystem::path& file);

}  // namespace krumple::app
