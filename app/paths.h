#pragma once

#include <filesystem>

#include <QByteArray>
#include <QString>

namespace krumple::app {

// File names are bytes on Linux; these keep them as bytes wherever Qt lets us.

// The path as text for display (bytes that aren't UTF-8 show as U+FFFD).
QString displayPath(const std::filesystem::path& path);
// The last component, for display.
QString displayName(const std::filesystem::path& path);
// The path's bytes, e.g. as a cache key.
QByteArray pathBytes(const std::filesystem::path& path);
// A path Qt handed us as text (dialogs), in the file system's encoding.
std::filesystem::path pathFromQt(const QString& text);
// "file:///…" with every byte outside the URI's unreserved set percent-encoded.
QString fileUri(const std::filesystem::path& path);

}  // namespace krumple::app
