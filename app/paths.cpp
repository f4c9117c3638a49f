#include "paths.h"

#include <QFile>

namespace krumple::app {

QString displayPath(const std::filesystem::path& path) { return QFile::decodeName(pathBytes(path)); }

QString displayName(const std::filesystem::path& path) { return displayPath(path.filename()); }

QByteArray pathBytes(const std::filesystem::path& path) {
    const std::string& native = path.native();
    return QByteArray(native.data(), static_cast<qsizetype>(native.size()));
}

std::filesystem::path pathFromQt(const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString fileUri(const std::filesystem::path& path) {
    return QStringLiteral("file://") + QString::fromLatin1(pathBytes(path).toPercentEncoding("/"));
}

}  // namespace krumple::app
