#pragma once

#include <string_view>

namespace krumple {

enum class ConvertError { unreadable, decodeFailed, encodeFailed, cancelled };

// The only failure texts a user ever sees for a conversion.
constexpr std::string_view description(ConvertError e) {
    switch (e) {
    case ConvertError::unreadable: return "Can't read this image";
    case ConvertError::decodeFailed: return "Couldn't decode the image";
    case ConvertError::encodeFailed: return "Couldn't write the output";
    case ConvertError::cancelled: return "Cancelled";
    }
    return "Failed";
}

}  // namespace krumple
