#pragma once

#include <cstddef>

#include <QString>

#include "store.h"

namespace krumple::app {

// The footer's summary of the list: "No files"; "12 files · 48.3 MB" while
// nothing is converted; else "Total: <savings>" over "3 of 12 converted",
// where the saving compares the converted files with their own sources.
struct Totals {
    QString headline;   // the first line; the only one before anything is converted
    QString converted;  // empty before anything is converted
};
Totals totals(const Store& store);

// "Convert", "Convert 1 Image", "Convert 12 Images".
QString convertLabel(std::size_t itemCount);
// Why Convert can't be pressed in folder mode without a folder; else empty.
QString convertHelp(OutputMode mode, bool hasFolder);

}  // namespace krumple::app
