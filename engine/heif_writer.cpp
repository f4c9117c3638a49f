#include "heif_writer.h"
#include "thread_handover.h"

#include <libheif/heif.h>

#include <climits>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace krumple::heif {

namespace {
using vips::VImage;

void check(const heif_error& e) {
    if (e.code != heif_error_Ok) throw vips::VError(std::string("heif: ") + (e.message ? e.message : "error"));
}

template <auto Free>
struct Freer {
    template <typename T>
    void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<heif_context, Freer<heif_context_free>>;
using Encoder = std::unique_ptr<heif_encoder, Freer<heif_encoder_release>>;
using Image = std::unique_ptr<heif_image, Freer<heif_image_release>>;
using Handle = std::unique_ptr<heif_image_handle, Freer<heif_image_handle_release>>;
using Options = std::unique_ptr<heif_encoding_options, Freer<heif_encoding_options_free>>;

// RGB or RGBA in 8-bit or 16-bit samples: the layouts libheif takes.
VImage asRgb(VImage image) {
    if (image.format() != VIPS_FORMAT_UCHAR && image.format() != VIPS_FORMAT_USHORT)
        image = image.cast(VIPS_FORMAT_UCHAR);
    image = withoutGreyProfile(image);
    switch (image.bands()) {
    case 1: return VImage::bandjoin({image, image, image});
    case 2: return VImage::bandjoin({image[0], image[0], image[0], image[1]});
    case 3:
    case 4: return image;
    default: return image.extract_band(0, VImage::option()->set("n", 3));
    }
}

// Where the pixels go: rows of libheif's interleaved plane.
struct Plane {
    std::uint8_t* data = nullptr;
    int stride = 0;
    int bits = 8;  // above 8: 16-bit samples scaled to this many bits, stored as big-endian pairs
};

// Called by vips_sink_disc with rows in order, each region as wide as the image.
int packRows(VipsRegion* region, VipsRect* area, void* a) {
    const HeldForScope held(a);
    const auto* plane = static_cast<const Plane*>(a);
    const std::size_t samples = static_cast<std::size_t>(area->width) * static_cast<std::size_t>(region->im->Bands);
    for (int y = area->top; y < area->top + area->height; ++y) {
        const std::uint8_t* p = region->data + static_cast<std::ptrdiff_t>(y - region->valid.top) * region->bpl;
        std::uint8_t* q = plane->data + static_cast<std::ptrdiff_t>(y) * plane->stride;
        if (plane->bits == 8) {
            std::memcpy(q, p, samples);
            continue;
        }
        const std::uint32_t top = (1u << plane->bits) - 1;
        for (std::size_t i = 0; i < samples; ++i) {
            std::uint16_t v = 0;
            std::memcpy(&v, p + 2 * i, 2);
            // Rounded, so 65535 becomes the top value.
            const auto scaled = static_cast<std::uint16_t>((std::uint32_t{v} * top + 32767u) / 65535u);
            q[2 * i] = static_cast<std::uint8_t>(scaled >> 8);
            q[2 * i + 1] = static_cast<std::uint8_t>(scaled & 0xFF);
        }
    }
    return 0;
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) {
    try {
        auto* out = static_cast<Blob*>(userdata);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
        return {heif_error_Ok, heif_suberror_code{}, "ok"};
    } catch (const std::bad_alloc&) {
        return {heif_error_Memory_allocation_error, heif_suberror_code{}, "out of memory"};
    }
}

int sizeOf(std::size_t size) {
    if (size > INT_MAX) throw vips::VError("heif: metadata block too large");
    return static_cast<int>(size);
}
}  // namespace

void write(const VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options, Codec codec,
           const Parameters& parameters, EncodeTarget& out) {
    const VImage rgb = asRgb(image);
    const bool alpha = rgb.bands() == 4;
    const bool deep = rgb.format() == VIPS_FORMAT_USHORT;
    Plane plane;
    // HEIC Main 10 is what phones decode. AVIF stays at 12 bits, as heifsave
    // wrote it: libheif 1.15 gives aom the AV1 profile for 16 bits of storage,
    // and aom aborts on 10-bit 4:2:0 in that profile.
    if (deep) plane.bits = codec == Codec::hevc ? 10 : 12;

    const Context ctx(heif_context_alloc());
    if (!ctx) throw vips::VError("heif: no context");
    heif_encoder* rawEncoder = nullptr;
    check(heif_context_get_encoder_for_format(
        ctx.get(), codec == Codec::hevc ? heif_compression_HEVC : heif_compression_AV1, &rawEncoder));
    const Encoder encoder(rawEncoder);
    check(heif_encoder_set_lossy_quality(encoder.get(), options.q));
    check(heif_encoder_set_lossless(encoder.get(), options.lossless ? 1 : 0));
    check(heif_encoder_set_parameter(encoder.get(), "chroma", options.q >= 90 ? "444" : "420"));
    for (const auto& [name, value] : parameters)
        check(heif_encoder_set_parameter(encoder.get(), name.c_str(), value.c_str()));

    heif_image* rawImage = nullptr;
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_BE : heif_chroma_interleaved_RRGGBB_BE)
                                          : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    check(heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, chroma, &rawImage));
    const Image picture(rawImage);
    check(heif_image_add_plane(picture.get(), heif_channel_interleaved, rgb.width(), rgb.height(), plane.bits));
    plane.data = heif_image_get_plane(picture.get(), heif_channel_interleaved, &plane.stride);
    if (!plane.data) throw vips::VError("heif: no plane");
    // The rows are packed on libvips' write-behind thread.
    handOver(&plane);
    const int packed = vips_sink_disc(rgb.get_image(), packRows, &plane);
    takeOver(&plane);
    if (packed != 0) throw vips::VError();

    // "prof": any ICC profile, where "rICC" allows only the simplest kinds.
    if (rgb.get_typeof(VIPS_META_ICC_NAME) != 0) {
        std::size_t size = 0;
        const void* icc = rgb.get_blob(VIPS_META_ICC_NAME, &size);
        check(heif_image_set_raw_color_profile(picture.get(), "prof", icc, size));
    }

    const Options encoding(heif_encoding_options_alloc());
    if (!encoding) throw vips::VError("heif: no options");
    encoding->save_alpha_channel = alpha ? 1 : 0;
    heif_image_handle* rawHandle = nullptr;
    check(heif_context_encode_image(ctx.get(), picture.get(), encoder.get(), encoding.get(), &rawHandle));
    const Handle handle(rawHandle);

    // libheif puts the TIFF header's offset in front itself: the bare block goes in.
    if (!metadata.exif.empty())
        check(heif_context_add_exif_metadata(ctx.get(), handle.get(), metadata.exif.data(),
                                             sizeOf(metadata.exif.size())));
    if (!metadata.xmp.empty())
        check(heif_context_add_XMP_metadata(ctx.get(), handle.get(), metadata.xmp.data(),
                                            sizeOf(metadata.xmp.size())));

    Blob file;
    heif_writer writer{1, &appendTo};
    check(heif_context_write(ctx.get(), &writer, &file));
    out.write(file);
}

}  // namespace krumple::heif
