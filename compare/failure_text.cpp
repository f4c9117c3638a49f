#include "failure_text.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace krumple {

// For lupdate: description(ConvertError) in engine/convert_error.h, and the
// model's text for a job that ended without one.
[[maybe_unused]] const char* const fixedFailures[] = {
    QT_TRANSLATE_NOOP("Failure", "Can't read this image"),
    QT_TRANSLATE_NOOP("Failure", "Couldn't decode the image"),
    QT_TRANSLATE_NOOP("Failure", "Couldn't write the output"),
    QT_TRANSLATE_NOOP("Failure", "Cancelled"),
    QT_TRANSLATE_NOOP("Failure", "Failed"),
};

QString failureText(const std::string& message) {
    const QString english = QString::fromStdString(message);
    // Fmt::overCap's one composed text: "Doesn't fit in 50 kB (smallest 61.2 kB)".
    static const QRegularExpression overCap(QStringLiteral("^Doesn't fit in (.+) \\(smallest (.+)\\)$"));
    if (const QRegularExpressionMatch found = overCap.match(english); found.hasMatch())
        return QCoreApplication::translate("Failure", "Doesn't fit in %1 (smallest %2)")
            .arg(found.captured(1), found.captured(2));
    return QCoreApplication::translate("Failure", message.c_str());
}

}  // namespace krumple
