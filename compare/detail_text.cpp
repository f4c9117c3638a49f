#include "detail_text.h"

#include <cmath>
#include <limits>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include "fmt.h"

namespace krumple {

namespace {

// Truncates toward zero; a size that is no number or out of range shows as 0
// rather than being undefined.
std::int64_t truncated(double v) {
    constexpr double limit = 9.2e18;
    if (!std::isfinite(v) || v >= limit || v <= -limit) return 0;
    return static_cast<std::int64_t>(v);
}

const QString separator = QStringLiteral(" \u00B7 ");

}  // namespace

QString detailLine(const std::optional<PixelSize>& size, std::int64_t bytes, const QString& label) {
    QStringList parts;
    if (size)
        parts << QString::number(truncated(size->width)) + QChar(0x00D7) + QString::number(truncated(size->height));
    parts << QString::fromStdString(Fmt::byteCount(bytes));
    if (!label.isEmpty()) parts << label;
    return parts.join(separator);
}

QString extensionLabel(const std::filesystem::path& file) {
    const std::string ext = file.extension().native();  // ".jpg", or "" for "name" and ".hidden"
    if (ext.size() < 2) return {};
    return QFile::decodeName(QByteArray::fromStdString(ext.substr(1))).toUpper();
}

QString displayName(const std::filesystem::path& file) {
    return QFile::decodeName(QByteArray::fromStdString(file.filename().native()));
}

QString originalDetail(const ImageItem& item, const std::optional<PixelSize>& original) {
    QString line = detailLine(original, item.originalSize, extensionLabel(item.url));
    if (item.sourceFrames > 1)
        line += separator + QCoreApplication::translate("Detail", "Animation, %n frames", nullptr, item.sourceFrames);
    return line;
}

QString convertedDetail(const ImageItem& item, const std::optional<PixelSize>& converted,
                        std::optional<double> distance) {
    if (item.status.kind() != ItemStatus::done || !item.outputSize) return QStringLiteral(" ");
    const QString label = item.outputURL ? extensionLabel(*item.outputURL) : QString();
    QString line = detailLine(converted, *item.outputSize, label) + separator +
                   QString::fromStdString(Fmt::percent(item.originalSize, *item.outputSize));
    if (distance) line += separator + distanceText(*distance);
    if (item.sourceFrames > 1)
        line += separator + (item.frames > 1 ? QCoreApplication::translate("Detail", "Animation, %n frames", nullptr, item.frames)
                                             : QCoreApplication::translate("FileRow", "First frame of %1").arg(item.sourceFrames));
    return line;
}

QString distanceText(double distance) {
    // The words are the engine's; these marks let them be translated here.
    static_cast<void>(QT_TRANSLATE_NOOP("Difference", "looks identical"));
    static_cast<void>(QT_TRANSLATE_NOOP("Difference", "nearly identical"));
    static_cast<void>(QT_TRANSLATE_NOOP("Difference", "small differences"));
    static_cast<void>(QT_TRANSLATE_NOOP("Difference", "visible differences"));
    static_cast<void>(QT_TRANSLATE_NOOP("Difference", "large differences"));
    return QCoreApplication::translate("Difference", Fmt::distanceWords(distance)) + separator +
           QString::number(Fmt::shownDistance(distance), 'f', 1);
}

}  // namespace krumple
