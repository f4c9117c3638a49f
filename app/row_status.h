#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include "image_item.h"

namespace krumple::app {

// What a row's status column shows for an item.
struct RowStatus {
    enum class Look {
        none,     // done without a recorded size
        text,     // "Waiting"
        spinner,  // a spinner before "Converting…"
        savings,  // the size before and after, with monospaced digits
        failure,  // a warning symbol before the message, on one line
    };
    Look look = Look::none;
    QString text;
    QColor color;
};

RowStatus rowStatus(const ImageItem& item, const QPalette& palette);

// The file-manager style byte count under a row's name, and the quality a
// search chose with its distance.
QString sizeCaption(const ImageItem& item);

}  // namespace krumple::app
