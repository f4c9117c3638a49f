#include "row_status.h"

#include <cmath>

#include <QCoreApplication>

#include "failure_text.h"
#include "fmt.h"
#include "look.h"

namespace krumple::app {
namespace {

// Fmt::keptOriginal's text, composed here to be translated.
QString keptOriginal(std::int64_t original, std::int64_t output, bool stillOfAnimation) {
    if (stillOfAnimation)
        return QCoreApplication::translate("FileRow", "Original kept (an animation: the output holds one frame)");
    const auto larger = Fmt::largerBy(original, output);
    if (!larger) return QCoreApplication::translate("FileRow", "Original kept (output was no smaller)");
    return QCoreApplication::translate("FileRow", "Original kept (output was %1 larger)")
        .arg(QString::fromStdString(*larger));
}

}  // namespace

RowStatus rowStatus(const ImageItem& item, const QPalette& palette) {
    switch (item.status.kind()) {
    case ItemStatus::pending:
        return {RowStatus::Look::text, QCoreApplication::translate("FileRow", "Waiting"), look::secondary(palette)};
    case ItemStatus::converting:
        return {RowStatus::Look::spinner, QCoreApplication::translate("FileRow", "Converting\u2026"),
                look::secondary(palette)};
    case ItemStatus::done: {
        if (item.rejectedOutputSize)
            return {RowStatus::Look::text, keptOriginal(item.originalSize, *item.rejectedOutputSize, item.sourceFrames > 1 && item.frames == 1),
                    look::secondary(palette)};
        if (!item.outputSize) return {};
        const std::int64_t out = *item.outputSize;
        return {RowStatus::Look::savings, QString::fromStdString(Fmt::savings(item.originalSize, out)),
                out <= item.originalSize ? look::green(palette) : look::orange(palette)};
    }
    case ItemStatus::failed:
        return {RowStatus::Look::failure, failureText(item.status.reason()), look::red(palette)};
    }
    return {};
}

QString sizeCaption(const ImageItem& item) {
    QString caption = QString::fromStdString(Fmt::byteCount(item.originalSize));
    // What a search chose, while its output is the one shown.
    if (item.status.kind() == ItemStatus::done && item.chosenQuality) {
        caption += QCoreApplication::translate("FileRow", " \u00B7 quality %1%")
                       .arg(static_cast<qlonglong>(std::llround(*item.chosenQuality * 100)));
        if (item.distance)
            caption += QCoreApplication::translate("FileRow", " \u00B7 distance %1")
                           .arg(Fmt::shownDistance(*item.distance), 0, 'f', 1);  // rounded as the comparison rounds it
    }
    // An animation kept whole, or a still of its first frame.
    if (item.status.kind() == ItemStatus::done && item.sourceFrames > 1)
        caption += QStringLiteral(" \u00B7 ") +
                   (item.frames > 1 ? QCoreApplication::translate("FileRow", "%n frames", nullptr, item.frames)
                                    : QCoreApplication::translate("FileRow", "First frame of %1").arg(item.sourceFrames));
    // A JPEG carried into JPEG XL whole, or only its pixels.
    if (item.status.kind() == ItemStatus::done && item.rebuildsJpeg)
        caption += *item.rebuildsJpeg ? QCoreApplication::translate("FileRow", " \u00B7 JPEG restorable")
                                      : QCoreApplication::translate("FileRow", " \u00B7 JPEG not restorable");
    return caption;
}

}  // namespace krumple::app
