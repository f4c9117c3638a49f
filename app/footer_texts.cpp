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
    const int count = static_cast<int>(sums.count);
    const QString files = QCoreApplication::translate("FooterBar", "%n file(s) \u00B7 %1", nullptr, count)
                              .arg(fromUtf8(Fmt::byteCount(sums.originals)));
    if (sums.done == 0 && sums.failed == 0) return {files, {}};
    // Every item counted; "not started" only after a batch, once it is over.
    const int kept = static_cast<int>(sums.kept), failed = static_cast<int>(sums.failed),
              notStarted = static_cast<int>(sums.notStarted);
    const int converted = static_cast<int>(sums.done) - kept;
    QString counts = QCoreApplication::translate("FooterBar", "%n of %1 converted", nullptr, converted).arg(count);
    if (failed > 0)
        counts += QStringLiteral(", ") +
                  QCoreApplication::translate("FooterBar", "%n failed", nullptr, failed);
    if (notStarted > 0 && store.total() > 0 && !store.isRunning())
        counts += QStringLiteral(", ") +
                  QCoreApplication::translate("FooterBar", "%n not started", nullptr, notStarted);
    if (sums.done == 0) return {files, counts};
    if (kept > 0)
        counts += QStringLiteral(" \u00B7 ") +
                  QCoreApplication::translate("FooterBar", "%n original(s) kept", nullptr, kept);
    return {QCoreApplication::translate("FooterBar", "Total: %1")
                .arg(fromUtf8(Fmt::savings(sums.doneOriginals, sums.doneOutputs))),
            counts};
}

QString convertLabel(std::size_t itemCount) {
    if (itemCount == 0) return QCoreApplication::translate("FooterBar", "Convert");
    const int count = static_cast<int>(itemCount);
    return QCoreApplication::translate("FooterBar", "Convert %n Image(s)", nullptr, count);
}

QString convertHelp(OutputMode mode, bool hasFolder) {
    return mode == OutputMode::folder && !hasFolder
               ? QCoreApplication::translate("FooterBar", "Choose an output folder first")
               : QString();
}

}  // namespace krumple::app
