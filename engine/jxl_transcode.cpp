#include "jxl_transcode.h"

#include <jxl/encode.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "jpeg_segments.h"
#include "metadata_blocks.h"

namespace krumple::jxl {

namespace {
// Efforts 3 to 7 give the same bytes in the same time when carrying a JPEG
// over; 9 saves 0.2 % for 13 times the CPU (bench/README.md).
constexpr int transcodeEffort = 7;

constexpr std::string_view xmpPrefix("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view extendedXmpPrefix("http://ns.adobe.com/xmp/extension/\0", 35);
constexpr std::string_view photoshopPrefix("Photoshop 3.0\0", 14);

bool startsWith(std::span<const std::uint8_t> payload, std::string_view prefix) {
    return payload.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), payload.begin());
}

// The JPEG's stored size (width, height), from its frame header.
std::optional<std::pair<std::uint32_t, std::uint32_t>> frameSize(const Blob& jpeg) {
    for (std::size_t at = 2; at + 9 <= jpeg.size() && jpeg[at] == 0xFF;) {
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == 0xDA) break;  // a scan before any frame header
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return std::pair{std::uint32_t{jpeg[at + 7]} << 8 | jpeg[at + 8], std::uint32_t{jpeg[at + 5]} << 8 | jpeg[at + 6]};
        at += 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return std::nullopt;
}

std::optional<Blob> encoded(const Blob& jpeg, int orientation) {
    const EncoderPtr encoder(JxlEncoderCreate(nullptr));
    if (!encoder || JxlEncoderUseContainer(encoder.get(), JXL_TRUE) != JXL_ENC_SUCCESS ||
        JxlEncoderStoreJPEGMetadata(encoder.get(), JXL_TRUE) != JXL_ENC_SUCCESS)
        return std::nullopt;
    if (orientation != 1) {
        // What libjxl sets on its own for a JPEG, and the turn, which it takes from nowhere.
        const auto size = frameSize(jpeg);
        if (!size || orientation < 1 || orientation > 8) return std::nullopt;
        JxlBasicInfo info;
        JxlEncoderInitBasicInfo(&info);
        info.xsize = size->first;
        info.ysize = size->second;
        info.uses_original_profile = JXL_TRUE;
        info.orientation = static_cast<JxlOrientation>(orientation);
        if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS) return std::nullopt;
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (!settings ||
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, transcodeEffort) !=
            JXL_ENC_SUCCESS ||
        JxlEncoderAddJPEGFrame(settings, jpeg.data(), jpeg.size()) != JXL_ENC_SUCCESS)
        return std::nullopt;
    JxlEncoderCloseInput(encoder.get());

    return output(encoder.get(), jpeg.size());
}
}  // namespace

std::optional<Blob> output(JxlEncoder* encoder, std::size_t expected) {
    Blob out(std::max<std::size_t>(expected, 4096));
    std::uint8_t* next = out.data();
    std::size_t available = out.size();
    JxlEncoderStatus status;
    while ((status = JxlEncoderProcessOutput(encoder, &next, &available)) == JXL_ENC_NEED_MORE_OUTPUT) {
        const auto used = static_cast<std::size_t>(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        available = out.size() - used;
    }
    if (status != JXL_ENC_SUCCESS) return std::nullopt;
    out.resize(static_cast<std::size_t>(next - out.data()));
    return out;
}

std::optional<Blob> fromJpeg(const Blob& jpeg, bool stripMetadata, int orientation) {
    // libjxl moves the first EXIF and XMP segments into boxes, which it
    // compresses; we write them plain, as the pixel path does, from the same bytes.
    Blob exifBox, xmlBox;
    int exifSegments = 0, xmpSegments = 0;
    const auto kept = jpeg::withoutSegments(jpeg, [&](std::uint8_t marker, std::span<const std::uint8_t> payload) {
        if (marker == 0xE1 && startsWith(payload, std::string_view("Exif\0", 5))) {
            if (stripMetadata) return true;
            if (jpeg::isExif(marker, payload) && exifSegments++ == 0) {
                exifBox.assign(4, 0);  // the TIFF header's offset in the box
                exifBox.insert(exifBox.end(), payload.begin() + 6, payload.end());
            }
        } else if (marker == 0xE1 && startsWith(payload, xmpPrefix)) {
            if (stripMetadata) return true;
            if (xmpSegments++ == 0) xmlBox.assign(payload.begin() + xmpPrefix.size(), payload.end());
        } else if (marker == 0xE1 && startsWith(payload, extendedXmpPrefix)) {
            return stripMetadata;
        } else if (marker == 0xED && startsWith(payload, photoshopPrefix)) {
            return stripMetadata;
        }
        return false;
    });
    if (!kept) return std::nullopt;
    const auto file = encoded(*kept, orientation);
    if (!file) return std::nullopt;
    // Where segments repeat, which one libjxl boxed is its business: its box stays.
    if (exifSegments > 1) exifBox.clear();
    if (xmpSegments > 1) xmlBox.clear();
    // A block left out must not come back through a segment the head did not show.
    return withPlainMetadataBoxes(*file, stripMetadata ? nullptr : &exifBox, stripMetadata ? nullptr : &xmlBox);
}

bool rebuildsJpeg(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[16];
    // Top-level boxes, header by header: 'jbrd' holds the reconstruction data.
    for (std::uint64_t at = 0; in.seekg(static_cast<std::streamoff>(at)) && in.read(reinterpret_cast<char*>(head), 8);) {
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i) size = size << 8 | head[i];
        if (std::memcmp(head + 4, "jbrd", 4) == 0) return true;
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(head + 8), 8)) return false;
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | head[i];
        }
        if (size < 8) return false;  // 0 runs to the end: nothing follows
        at += size;
    }
    return false;
}

}  // namespace krumple::jxl
