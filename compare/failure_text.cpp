#include "failure_text.h"

#include <QCoreApplication>

#include "fmt.h"

namespace krumple {

QString failureText(const Failure& failure) {
    switch (failure.kind) {
    case Failure::Kind::unreadable: return QCoreApplication::translate("Failure", "Can't read this image");
    case Failure::Kind::decodeFailed: return QCoreApplication::translate("Failure", "Couldn't decode the image");
    case Failure::Kind::encodeFailed: return QCoreApplication::translate("Failure", "Couldn't write the output");
    case Failure::Kind::cancelled: return QCoreApplication::translate("Failure", "Cancelled");
    case Failure::Kind::tooLarge:
        return QCoreApplication::translate("Failure", "Doesn't fit in %1 (smallest %2)")
            .arg(QString::fromStdString(Fmt::byteCount(failure.cap)), QString::fromStdString(Fmt::byteCount(failure.smallest)));
    case Failure::Kind::unknown: break;
    }
    return QCoreApplication::translate("Failure", "Failed");
}

}  // namespace krumple
