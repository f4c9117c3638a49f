#include "heif_direct.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace krumple::bench {

namespace {

void check(const heif_error& e, const char* what) {
    if (e.code != heif_error_Ok) throw std::runtime_error(std::string(what) + ": " + e.message);
}

using Context = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using Encoder = std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)>;
using Image = std::unique_ptr<heif_image, decltype(&heif_image_release)>;
using Handle = std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>;

heif_compression_format formatOf(HeifCodec codec) {
    return codec == HeifCodec::hevc ? heif_compression_HEVC : heif_compression_AV1;
}

Encoder encoderFor(heif_context* ctx, HeifCodec codec) {
    heif_encoder* raw = nullptr;
    check(heif_context_get_encoder_for_format(ctx, formatOf(codec), &raw), "no encoder");
    return {raw, &heif_encoder_release};
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

}  // namespace

std::vector<std::uint8_t> encodeDirect(const Rgb& image, HeifCodec codec, int q, const EncoderParams& params) {
    const Context ctx(heif_context_alloc(), &heif_context_free);
    const Encoder encoder = encoderFor(ctx.get(), codec);
    check(heif_encoder_set_lossy_quality(encoder.get(), q), "quality");
    for (const auto& [name, value] : params)
        check(heif_encoder_set_parameter(encoder.get(), name.c_str(), value.c_str()), name.c_str());

    heif_image* rawImage = nullptr;
    check(heif_image_create(image.width, image.height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage),
          "image");
    const Image picture(rawImage, &heif_image_release);
    check(heif_image_add_plane(picture.get(), heif_channel_interleaved, image.width, image.height, 8), "plane");
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(picture.get(), heif_channel_interleaved, &stride);
    const auto rowBytes = static_cast<std::size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(plane + static_cast<std::ptrdiff_t>(y) * stride,
                    image.pixels.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);

    heif_image_handle* rawHandle = nullptr;
    check(heif_context_encode_image(ctx.get(), picture.get(), encoder.get(), nullptr, &rawHandle), "encode");
    const Handle handle(rawHandle, &heif_image_handle_release);
    std::vector<std::uint8_t> out;
    heif_writer writer{1, &appendTo};
    check(heif_context_write(ctx.get(), &writer, &out), "write");
    return out;
}

Rgb decodeHeif(const std::vector<std::uint8_t>& file) {
    const Context ctx(heif_context_alloc(), &heif_context_free);
    check(heif_context_read_from_memory_without_copy(ctx.get(), file.data(), file.size(), nullptr), "read");
    heif_image_handle* rawHandle = nullptr;
    check(heif_context_get_primary_image_handle(ctx.get(), &rawHandle), "primary image");
    const Handle handle(rawHandle, &heif_image_handle_release);
    heif_image* rawImage = nullptr;
    check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr),
          "decode");
    const Image picture(rawImage, &heif_image_release);
    Rgb out{heif_image_get_width(picture.get(), heif_channel_interleaved),
            heif_image_get_height(picture.get(), heif_channel_interleaved), {}};
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(picture.get(), heif_channel_interleaved, &stride);
    const auto rowBytes = static_cast<std::size_t>(out.width) * 3;
    out.pixels.resize(rowBytes * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y)
        std::memcpy(out.pixels.data() + static_cast<std::size_t>(y) * rowBytes,
                    plane + static_cast<std::ptrdiff_t>(y) * stride, rowBytes);
    return out;
}

void printEncoderParameters(HeifCodec codec, std::ostream& out) {
    const Context ctx(heif_context_alloc(), &heif_context_free);
    const Encoder encoder = encoderFor(ctx.get(), codec);
    out << heif_encoder_get_name(encoder.get()) << '\n';
    for (const heif_encoder_parameter* const* p = heif_encoder_list_parameters(encoder.get()); *p; ++p) {
        const char* name = heif_encoder_parameter_get_name(*p);
        out << "  " << name << ':';
        if (heif_encoder_parameter_get_type(*p) == heif_encoder_parameter_type_string) {
            const char* const* values = nullptr;
            heif_encoder_parameter_get_valid_string_values(*p, &values);
            for (; values && *values; ++values) out << ' ' << *values;
        } else if (heif_encoder_parameter_get_type(*p) == heif_encoder_parameter_type_integer) {
            int hasMin = 0, hasMax = 0, lo = 0, hi = 0, count = 0;
            const int* values = nullptr;
            heif_encoder_parameter_get_valid_integer_values(*p, &hasMin, &hasMax, &lo, &hi, &count, &values);
            if (hasMin || hasMax) out << ' ' << lo << ".." << hi;
            for (int i = 0; i < count; ++i) out << ' ' << values[i];
        } else {
            out << " true false";
        }
        char current[64] = {};
        if (heif_encoder_has_default(encoder.get(), name) &&
            heif_encoder_get_parameter(encoder.get(), name, current, sizeof current).code == heif_error_Ok)
            out << " (default " << current << ')';
        out << '\n';
    }
}

}  // namespace krumple::bench
