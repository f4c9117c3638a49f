#pragma once

#include <QString>

#include "convert_error.h"

namespace krumple {

// A failed item's reason in the window's language, with its figures.
QString failureText(const Failure& failure);

}  // namespace krumple
