#pragma once

#include <cstdint>
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

// Why an item failed, with its figures. Each front end puts it in its own
// words and language (Fmt::failureText is the English).
struct Failure {
    enum class Kind : unsigned char { unreadable, decodeFailed, encodeFailed, cancelled, tooLarge, unknown };
    Kind kind = Kind::unknown;
    // tooLarge: the size asked for, and the smallest the encoder reached.
    std::int64_t cap = 0, smallest = 0;

    Failure() = default;
    Failure(ConvertError e) : kind(static_cast<Kind>(e)) {}
    static Failure tooLarge(std::int64_t cap, std::int64_t smallest) {
        Failure f;
        f.kind = Kind::tooLarge;
        f.cap = cap;
        f.smallest = smallest;
        return f;
    }
    friend bool operator==(const Failure&, const Failure&) = default;
};
static_assert(static_cast<int>(Failure::Kind::cancelled) == static_cast<int>(ConvertError::cancelled));

}  // namespace krumple
