#include "apng.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

#include "image_io.h"
#include "png_chunks.h"

namespace krumple::apng {
namespace {
using vips::VImage;

using png::Chunk;
using png::chunksOf;
using png::put32;
using png::putChunk;
using png::read32;
using png::signature;

void put16(Blob& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// Frame control: the whole canvas, shown for `delay` ms, replacing what was there.
Blob frameControl(std::uint32_t sequence, int width, int height, int delay) {
    Blob fc;
    put32(fc, sequence);
    put32(fc, static_cast<std::uint32_t>(width));
    put32(fc, static_cast<std::uint32_t>(height));
    put32(fc, 0);
    put32(fc, 0);
    put16(fc, static_cast<std::uint16_t>(std::clamp(delay, 0, 65535)));
    put16(fc, 1000);
    fc.push_back(0);  // dispose: none
    fc.push_back(0);  // blend: source
    return fc;
}

bool sameHeader(const std::vector<Chunk>& a, const std::vector<Chunk>& b) {
    return !a.empty() && !b.empty() && a.front().type == "IHDR" && b.front().type == "IHDR" &&
           a.front().size == b.front().size && std::memcmp(a.front().data, b.front().data, a.front().size) == 0;
}

}  // namespace

std::optional<Blob> animationFrom(const VImage& stacked, const std::function<Blob(const VImage&, bool)>& encode) {
    const int frames = stackedFrames(stacked), width = stacked.width(), page = stacked.height() / frames;
    const FrameTiming timing = frameTiming(stacked);
    Blob out(signature.begin(), signature.end());
    std::uint32_t sequence = 0;
    std::vector<Chunk> first;
    const Blob firstPng = encode(stacked.crop(0, 0, width, page), true);
    first = chunksOf(firstPng);
    if (first.empty() || first.front().type != "IHDR") return std::nullopt;
    bool controlled = false;
    for (const Chunk& chunk : first) {
        if (chunk.type == "IEND") break;
        if (chunk.type == "IDAT" && !controlled) {
            putChunk(out, "fcTL", frameControl(sequence++, width, page, timing.delayOf(0)));
            controlled = true;
        }
        putChunk(out, chunk.type, {chunk.data, chunk.size});
        if (chunk.type == "IHDR") {
            Blob control;
            put32(control, static_cast<std::uint32_t>(frames));
            put32(control, static_cast<std::uint32_t>(timing.loop));
            putChunk(out, "acTL", control);
        }
    }
    for (int i = 1; i < frames; ++i) {
        const Blob framePng = encode(stacked.crop(0, i * page, width, page), false);
        const std::vector<Chunk> chunks = chunksOf(framePng);
        if (!sameHeader(chunks, first)) return std::nullopt;
        putChunk(out, "fcTL", frameControl(sequence++, width, page, timing.delayOf(i)));
        for (const Chunk& chunk : chunks) {
            if (chunk.type != "IDAT") continue;
            Blob data;
            put32(data, sequence++);
            data.insert(data.end(), chunk.data, chunk.data + chunk.size);
            putChunk(out, "fdAT", data);
        }
    }
    putChunk(out, "IEND", {});
    return out;
}

std::optional<VImage> framesOf(const Blob& file) {
    const std::vector<Chunk> chunks = chunksOf(file);
    if (chunks.empty() || chunks.front().type != "IHDR" || chunks.front().size != 13) return std::nullopt;
    struct Frame {
        const std::uint8_t* control;  // fcTL's 26 bytes
        Blob data;                    // the zlib stream, from IDAT or fdAT
    };
    std::vector<Frame> frames;
    std::vector<const Chunk*> shared;  // palette, transparency, colour: every frame's
    std::uint32_t plays = 0, announced = 0;
    bool animated = false, seenData = false;
    for (const Chunk& chunk : chunks) {
        if (chunk.type == "acTL" && chunk.size == 8) {
            animated = true;
            announced = read32(chunk.data);
            plays = read32(chunk.data + 4);
        } else if (chunk.type == "fcTL" && chunk.size == 26) {
            frames.push_back({chunk.data, {}});
        } else if (chunk.type == "IDAT") {
            // The still is the first frame only when a frame control came before it.
            if (!frames.empty()) frames.back().data.insert(frames.back().data.end(), chunk.data, chunk.data + chunk.size);
            seenData = true;
        } else if (chunk.type == "fdAT" && chunk.size > 4) {
            if (!frames.empty()) frames.back().data.insert(frames.back().data.end(), chunk.data + 4, chunk.data + chunk.size);
        } else if (!seenData && chunk.type != "IHDR" && chunk.type != "IEND" && chunk.type[0] != 'e' &&
                   chunk.type != "tEXt" && chunk.type != "iTXt" && chunk.type != "zTXt") {
            shared.push_back(&chunk);
        }
    }
    // Only the frames announced count: more would be past what the header promised.
    if (frames.size() > announced) frames.resize(announced);
    if (!animated || frames.size() < 2) return std::nullopt;
    const int width = static_cast<int>(read32(chunks.front().data)), height = static_cast<int>(read32(chunks.front().data + 4));
    const std::uint8_t colourType = chunks.front().data[9];
    bool alpha = colourType == 4 || colourType == 6 ||
                 std::ranges::any_of(shared, [](const Chunk* c) { return c->type == "tRNS"; });

    VImage canvas = VImage::black(width, height, VImage::option()->set("bands", 4)).cast(VIPS_FORMAT_UCHAR);
    std::vector<VImage> shown;
    std::vector<int> delays;
    try {
        for (const Frame& frame : frames) {
            const int w = static_cast<int>(read32(frame.control + 4)), h = static_cast<int>(read32(frame.control + 8));
            const int x = static_cast<int>(read32(frame.control + 12)), y = static_cast<int>(read32(frame.control + 16));
            const int num = frame.control[20] << 8 | frame.control[21], den = frame.control[22] << 8 | frame.control[23];
            const std::uint8_t dispose = frame.control[24], blend = frame.control[25];
            if (w < 1 || h < 1 || x < 0 || y < 0 || x > width - w || y > height - h || frame.data.empty()) return std::nullopt;
            if (x != 0 || y != 0 || w != width || h != height) alpha = true;
            // The frame as a PNG of its own: the file's header at the frame's size.
            Blob single(signature.begin(), signature.end());
            Blob header(chunks.front().data, chunks.front().data + 13);
            std::memcpy(header.data(), frame.control + 4, 8);
            putChunk(single, "IHDR", header);
            for (const Chunk* c : shared) putChunk(single, c->type, {c->data, c->size});
            putChunk(single, "IDAT", frame.data);
            putChunk(single, "IEND", {});
            VImage pixels = VImage::new_from_buffer(single.data(), single.size(), "").colourspace(VIPS_INTERPRETATION_sRGB);
            if (pixels.format() != VIPS_FORMAT_UCHAR) pixels = (pixels / 257).cast(VIPS_FORMAT_UCHAR);
            if (!pixels.has_alpha()) pixels = pixels.bandjoin_const({255});
            const VImage before = canvas;
            const VImage placed = blend == 1 ? canvas.extract_area(x, y, w, h)
                                                   .composite2(pixels, VIPS_BLEND_MODE_OVER)
                                                   .cast(VIPS_FORMAT_UCHAR)
                                             : pixels;
            canvas = canvas.insert(placed, x, y).copy_memory();
            shown.push_back(canvas);
            delays.push_back(den == 0 ? num * 10 : num * 1000 / den);
            if (dispose == 1 || (dispose == 2 && shown.size() == 1))
                canvas = canvas.insert(VImage::black(w, h, VImage::option()->set("bands", 4)).cast(VIPS_FORMAT_UCHAR), x, y).copy_memory();
            else if (dispose == 2)
                canvas = before;
        }
        VImage stacked = VImage::arrayjoin(shown, VImage::option()->set("across", 1));
        // Opaque everywhere, partial frames and all: no alpha to carry.
        if (!alpha || stacked.extract_band(3).min() == 255) stacked = stacked.extract_band(0, VImage::option()->set("n", 3));
        stacked = stacked.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory();
        return withFrameTiming(stacked, height, {delays, static_cast<int>(std::min<std::uint32_t>(plays, INT32_MAX))});
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

int frameCount(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[8];
    if (!in.read(reinterpret_cast<char*>(head), 8) || !std::equal(signature.begin(), signature.end(), head)) return 0;
    // acTL comes before the first IDAT: no pixel data need be read.
    for (std::uint64_t at = 8; in.seekg(static_cast<std::streamoff>(at)) && in.read(reinterpret_cast<char*>(head), 8);) {
        const std::uint32_t size = read32(head);
        const std::string_view type(reinterpret_cast<const char*>(head + 4), 4);
        if (type == "IDAT" || type == "IEND") return 1;
        if (type == "acTL" && size == 8) {
            std::uint8_t control[4];
            if (!in.read(reinterpret_cast<char*>(control), 4)) return 1;
            return static_cast<int>(std::max<std::uint32_t>(1, std::min<std::uint32_t>(read32(control), 100000)));
        }
        at += 12 + std::uint64_t{size};
    }
    return 1;
}

}  // namespace krumple::apng
