#include "footer_texts.h"

#include <QCoreApplication>

#include "fmt.h"

namespace krumple::app {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

Totals totals(const Store& store) {
    const auto count = static_cast<qlonglong>(store.items().size());
    if (count == 0) return {QCoreApplication::translate("FooterBar", "No files"), {}};
    const std::vector<ImageItem> done = store.doneItems();
    if (done.empty())
        return {QCoreApplication::translate("FooterBar", "%1 files \u00B7 %2")
                    .arg(count)
                    .arg(fromUtf8(Fmt::byteCount(store.totalOriginals()))),
                {}};
    // Like against like: the converted files' own sources, not the whole list.
    std::int64_t doneOriginals = 0;
    qlonglong kept = 0;
    for (const ImageItem& it : done) {
        doneOriginals += it.originalSize;
        kept += it.rejectedOutputSize ? 1 : 0;
    }
    QString counts = QCoreApplication::translate("FooterBar", "%1 of %2 converted")
                         .arg(static_cast<qlonglong>(done.size()) - kept)
                         .arg(count);
    if (kept > 0)
        counts += kept == 1 ? QCoreApplication::translate("FooterBar", " \u00B7 1 original kept")
                            : QCoreApplication::translate("FooterBar", " \u00B7 %1 originals kept").arg(kept);
    return {QCoreApplication::translate("FooterBar", "Total: %1")
                .arg(fromUtf8(Fmt::savings(doneOriginals, store.doneOutputs()))),
            counts};
}

QString convertLabel(std::size_t itemCount) {
    if (itemCount == 0) return QCoreApplication::translate("FooterBar", "Convert");
    const auto count = static_cast<qlonglong>(itemCount);
    return itemCount == 1 ? QCoreApplication::translate("FooterBar", "Convert %1 Image").arg(count)
                          : QCoreApplication::translate("FooterBar", "Convert %1 Images").arg(count);
}

QString convertHelp(OutputMode mode, bool hasFolder) {
    return mode == OutputMode::folder && !hasFolder
               ? QCoreApplication::translate("FooterBar", "Choose an output folder first")
               : QString();
}

}  // namespace krumple::app
