#include "display_image.h"

#include <memory>
#include <vector>

#include "converter.h"

namespace krumple {

namespace {
using Pixels = std::shared_ptr<const std::vector<std::uint8_t>>;

void releasePixels(void* holder) { delete static_cast<Pixels*>(holder); }
}  // namespace

std::optional<DisplayImage> toDisplayImage(const LoadedImage& loaded) {
    const Bitmap& b = loaded.image;
    if (b.isNull() || (b.channels != 3 && b.channels != 4)) return std::nullopt;
    if (b.pixels->size() < b.stride() * static_cast<std::size_t>(b.height)) return std::nullopt;
    // The QImage keeps the pixels alive through its own reference.
    auto* holder = new Pixels(b.pixels);
    QImage wrapped(b.pixels->data(), b.width, b.height, static_cast<qsizetype>(b.stride()),
                   b.hasAlpha() ? QImage::Format_RGBA8888 : QImage::Format_RGB888, releasePixels, holder);
    if (wrapped.isNull()) {
        delete holder;
        return std::nullopt;
    }
    // Straight alpha would be converted on every draw.
    if (b.hasAlpha()) wrapped = wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return DisplayImage{std::move(wrapped), loaded.pixelSize};
}

std::optional<DisplayImage> decodeForDisplay(const std::filesystem::path& file) {
    const auto loaded = Converter::loadForDisplay(file, displayMaxPixel);
    if (!loaded) return std::nullopt;
    return toDisplayImage(*loaded);
}

}  // namespace krumple
