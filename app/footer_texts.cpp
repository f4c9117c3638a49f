#include "footer_texts.h"

#include <QCoreApplication>

#include "fmt.h"
#include "list_totals.h"

namespace krumple::app {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

Totals totals(const Store& store) {
    const ListTotals sums = totalsOf(store.items());
    if (sums.count == 0) return {QCoreApplication::translate("FooterBar", "No files"), {}};
    const auto count = static_cast<qlonglong>(sums.count);
    if (sums.done == 0)
        return {QCoreApplication::translate("FooterBar", "%1 files \u00B7 %2")
                    .arg(count)
                    .arg(fromUtf8(Fmt::byteCount(sums.originals))),
                {}};
    // Like against like: the converted files' own sources, not the whole list.
    const auto kept = static_cast<qlonglong>(sums.kept);
    QString counts = QCoreApplication::translate("FooterBar", "%1 of %2 converted")
                         .arg(static_cast<qlonglong>(sums.done) - kept)
                         .arg(count);
    if (kept > 0)
        counts += kept == 1 ? QCoreApplication::translate("FooterBar", " \u00B7 1 original kept")
                            : QCoreApplication::translate("FooterBar", " \u00B7 %1 originals kept").arg(kept);
    return {QCoreApplication::translate("FooterBar", "Total: %1")
                .arg(fromUtf8(Fmt::savings(sums.doneOriginals, sums.doneOutputs))),
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
