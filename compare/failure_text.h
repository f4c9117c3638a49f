#pragma once

#include <string>

#include <QString>

namespace krumple {

// A failed item's message in the window's language. The engine and the model
// write their failures in English and know no Qt; their texts are looked up
// here by that English. Anything else shows as it came.
QString failureText(const std::string& message);

}  // namespace krumple
