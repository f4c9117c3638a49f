#include "row_status.h"

#include <QCoreApplication>

#include "fmt.h"
#include "look.h"

namespace krumple::app {

RowStatus rowStatus(const ImageItem& item, const QPalette& palette) {
    switch (item.status.kind()) {
    case ItemStatus::pending:
        return {RowStatus::Look::text, QCoreApplication::translate("FileRow", "Waiting"), look::secondary(palette)};
    case ItemStatus::converting:
        return {RowStatus::Look::spinner, QCoreApplication::translate("FileRow", "Converting\u2026"),
                look::secondary(palette)};
    case ItemStatus::done: {
        if (item.rejectedOutputSize)
            return {RowStatus::Look::text,
                    QString::fromStdString(Fmt::keptOriginal(item.originalSize, *item.rejectedOutputSize)),
                    look::secondary(palette)};
        if (!item.outputSize) return {};
        const std::int64_t out = *item.outputSize;
        return {RowStatus::Look::savings, QString::fromStdString(Fmt::savings(item.originalSize, out)),
                out <= item.originalSize ? look::green(palette) : look::orange(palette)};
    }
    case ItemStatus::failed:
        return {RowStatus::Look::failure, QString::fromStdString(item.status.message()), look::red(palette)};
    }
    return {};
}

QString sizeCaption(const ImageItem& item) { return QString::fromStdString(Fmt::byteCount(item.originalSize)); }

}  // namespace krumple::app
