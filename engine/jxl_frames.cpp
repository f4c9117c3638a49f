#include "jxl_frames.h"

#include <jxl/decode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "decoding.h"
#include "image_io.h"
#include "jxl_transcode.h"

namespace krumple::jxl {
namespace {
using vips::VImage;

constexpr int effort = 5;  // as for a still: 0.8 times the CPU of libjxl's default for the same bytes

// libvips 8.14's own mapping from Q to a distance, so that a frame of an
// animation looks as a still at the same quality does.
float distanceFor(int q) {
    return q >= 30 ? 0.1f + static_cast<float>(100 - q) * 0.09f
                   : 6.4f + static_cast<float>(std::pow(2.5, (30 - q) / 5.0)) / 6.25f;
}

struct DecoderDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

}  // namespace

std::optional<Blob> animationFrom(const VImage& stacked, int q, bool lossless) {
    const int frames = stackedFrames(stacked);
    const VImage im = Converter::toDisplaySRGB(stacked).copy_memory();
    const int width = im.width(), page = im.height() / frames, bands = im.bands();
    const EncoderPtr encoder(JxlEncoderCreate(nullptr));
    if (!encoder) return std::nullopt;
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<std::uint32_t>(width);
    info.ysize = static_cast<std::uint32_t>(page);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.alpha_bits = bands == 4 ? 8 : 0;
    info.num_extra_channels = bands == 4 ? 1 : 0;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    info.have_animation = JXL_TRUE;
    info.animation.tps_numerator = 1000;  // a tick is a millisecond
    info.animation.tps_denominator = 1;
    const FrameTiming timing = frameTiming(stacked);
    info.animation.num_loops = static_cast<std::uint32_t>(timing.loop);
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(encoder.get(), &srgb) != JXL_ENC_SUCCESS)
        return std::nullopt;
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (!settings || JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, effort) != JXL_ENC_SUCCESS ||
        JxlEncoderSetFrameLossless(settings, lossless ? JXL_TRUE : JXL_FALSE) != JXL_ENC_SUCCESS ||
        JxlEncoderSetFrameDistance(settings, lossless ? 0.0f : distanceFor(q)) != JXL_ENC_SUCCESS)
        return std::nullopt;

    const JxlPixelFormat format{static_cast<std::uint32_t>(bands), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const auto frameBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(page) * static_cast<std::size_t>(bands);
    const auto* pixels = static_cast<const std::uint8_t*>(vips_image_get_data(im.get_image()));
    for (int i = 0; i < frames; ++i) {
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.duration = static_cast<std::uint32_t>(std::max(0, timing.delayOf(i)));
        if (JxlEncoderSetFrameHeader(settings, &header) != JXL_ENC_SUCCESS ||
            JxlEncoderAddImageFrame(settings, &format, pixels + static_cast<std::size_t>(i) * frameBytes, frameBytes) != JXL_ENC_SUCCESS)
            return std::nullopt;
    }
    JxlEncoderCloseInput(encoder.get());
    return output(encoder.get(), frameBytes / 4);
}

std::optional<VImage> framesOf(const Blob& file) {
    const std::unique_ptr<JxlDecoder, DecoderDeleter> decoder(JxlDecoderCreate(nullptr));
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
        return std::nullopt;
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info{};
    JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::size_t frameBytes = 0;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<int> delays;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS || !info.have_animation ||
                info.animation.tps_numerator == 0)
                return std::nullopt;
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            frameBytes = std::size_t{info.xsize} * info.ysize * format.num_channels;
        } else if (status == JXL_DEC_FRAME) {
            JxlFrameHeader header;
            if (JxlDecoderGetFrameHeader(decoder.get(), &header) != JXL_DEC_SUCCESS) return std::nullopt;
            delays.push_back(static_cast<int>(std::lround(1000.0 * header.duration * info.animation.tps_denominator /
                                                          info.animation.tps_numerator)));
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            // Frames come composed, one after the other, each into a buffer of its own.
            std::size_t needed = 0;
            if (delays.empty() || JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) != JXL_DEC_SUCCESS ||
                needed != frameBytes)
                return std::nullopt;
            frames.emplace_back(frameBytes);
            if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, frames.back().data(), frameBytes) != JXL_DEC_SUCCESS)
                return std::nullopt;
        } else if (status == JXL_DEC_FULL_IMAGE) {
            continue;
        } else if (status == JXL_DEC_SUCCESS) {
            break;
        } else {
            return std::nullopt;
        }
    }
    if (delays.empty() || frames.size() != delays.size()) return std::nullopt;
    std::vector<std::uint8_t> pixels;
    pixels.reserve(frames.size() * frameBytes);
    for (const auto& frame : frames) pixels.insert(pixels.end(), frame.begin(), frame.end());
    const int width = static_cast<int>(info.xsize), page = static_cast<int>(info.ysize);
    // A copy: copy_memory() of an image over foreign memory would keep pointing at `pixels`.
    VipsImage* copied = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width,
                                                        page * static_cast<int>(delays.size()),
                                                        static_cast<int>(format.num_channels), VIPS_FORMAT_UCHAR);
    if (!copied) return std::nullopt;
    VImage stacked = VImage(copied).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return withFrameTiming(stacked, page, {delays, static_cast<int>(std::min<std::uint32_t>(info.animation.num_loops, INT32_MAX))});
}

int frameCount(const Blob& file) {
    const std::unique_ptr<JxlDecoder, DecoderDeleter> decoder(JxlDecoderCreate(nullptr));
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_FRAME) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
        return 0;
    JxlDecoderCloseInput(decoder.get());
    int frames = 0;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_FRAME) {
            ++frames;  // headers only: no pixels are decoded
        } else if (status == JXL_DEC_SUCCESS) {
            return frames;
        } else {
            return 0;
        }
    }
}

}  // namespace krumple::jxl
