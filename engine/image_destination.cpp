#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "image_io.h"
#include "metadata_blocks.h"
#include "encoder.h"
#include "thread_handover.h"
#include "atomic_file.h"

namespace krumple {

namespace {
using vips::VImage;

// A target over a file descriptor that remembers a failed write. Some savers
// ignore a failed final flush and report success over a short file (seen on
// a full disk), so success is decided here, not by the saver.
struct DescriptorSink {
    int fd;
    bool failed = false;
};

gint64 sinkWrite(VipsTargetCustom*, const void* data, gint64 length, DescriptorSink* sink) {
    const HeldForScope held(sink);
    if (length < 0 || !writeWhole(sink->fd, data, static_cast<std::size_t>(length))) {
        sink->failed = true;
        return -1;
    }
    return length;
}

gint64 sinkRead(VipsTargetCustom*, void* buffer, gint64 length, DescriptorSink* sink) {
    takeOver(sink);
    const gint64 n = ::read(sink->fd, buffer, static_cast<std::size_t>(length));
    handOver(sink);
    return n;
}

gint64 sinkSeek(VipsTargetCustom*, gint64 offset, int whence, DescriptorSink* sink) {
    takeOver(sink);
    const gint64 at = ::lseek(sink->fd, offset, whence);
    handOver(sink);
    return at;
}

vips::VTarget targetFor(DescriptorSink& sink) {
    VipsTargetCustom* custom = vips_target_custom_new();
    g_signal_connect(custom, "write", G_CALLBACK(sinkWrite), &sink);
    g_signal_connect(custom, "read", G_CALLBACK(sinkRead), &sink);
    g_signal_connect(custom, "seek", G_CALLBACK(sinkSeek), &sink);
    return vips::VTarget(VIPS_TARGET(custom));
}

// The pixels the encoder gets: upright, with their colour profile and no
// other metadata; the metadata to write comes apart, rewritten for upright
// pixels, exactly as the properties carry it.
VImage prepared(const Image& image, const Properties& props, int bitDepth, MetadataBlocks& blocks) {
    VImage out = image.pixels;
    // Formats other than JPEG cannot hold CMYK, and every viewer shows sRGB right.
    if (out.interpretation() == VIPS_INTERPRETATION_CMYK)
        out = out.icc_transform("srgb", VImage::option()->set("embedded", true)->set("input_profile", "cmyk"));
    if (bitDepth <= 8 && out.format() == VIPS_FORMAT_USHORT) out = (out >> 8).cast(VIPS_FORMAT_UCHAR).copy(
        VImage::option()->set("interpretation", out.bands() < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
    out = out.copy();

    char** fields = vips_image_get_fields(out.get_image());
    for (char** f = fields; *f; ++f) {
        const std::string_view name(*f);
        if (name.starts_with("exif-") || name == VIPS_META_XMP_NAME || name == VIPS_META_IPTC_NAME ||
            name == "jpeg-thumbnail-data" || name == VIPS_META_ORIENTATION)
            out.remove(*f);
    }
    g_strfreev(fields);

    const int orientation = static_cast<int>(numberAt(props, prop::orientation).value_or(1));
    if (auto it = props.find(prop::exifData); it != props.end() && it->second.blob()) {
        if (auto upright = exif::upright(*it->second.blob(), orientation)) blocks.exif = std::move(*upright);
    }
    if (auto it = props.find(prop::xmpData); it != props.end() && it->second.string())
        blocks.xmp = xmp::upright(*it->second.string());
    if (auto it = props.find(prop::iptcData); it != props.end() && it->second.blob()) blocks.iptc = *it->second.blob();
    return out;
}

// The destination's file for an encoder: streams go through a libvips target
// over the descriptor, whole files are written as they are.
class FileTarget final : public EncodeTarget {
public:
    explicit FileTarget(int fd) : sink_{fd} {}
    void stream(const std::function<void(const vips::VTarget&)>& save) override {
        handOver(&sink_);
        save(targetFor(sink_));
        takeOver(&sink_);
    }
    void write(const Blob& bytes) override { sink_.failed = sink_.failed || !writeWhole(sink_.fd, bytes.data(), bytes.size()); }
    bool failed() const { return sink_.failed; }

private:
    DescriptorSink sink_;
};
}  // namespace

std::unique_ptr<ImageDestination> ImageDestination::create(const std::filesystem::path& path, OutputFormat format,
                                                           Replace replace) {
    ensureImageLibrary();
    if (!canEncode(format.typeIdentifier())) return nullptr;
    auto file = AtomicFile::create(path, replace);
    if (!file) return nullptr;
    return std::unique_ptr<ImageDestination>(new ImageDestination(format, std::move(file)));
}

ImageDestination::ImageDestination(OutputFormat format, std::unique_ptr<AtomicFile> file)
    : format_(format), file_(std::move(file)) {}

ImageDestination::~ImageDestination() = default;

void ImageDestination::addImage(const Image& image, const Properties& properties, const EncodeOptions& options) {
    image_ = image;
    properties_ = properties;
    options_ = options;
}

void ImageDestination::setTimes(const struct timespec& accessed, const struct timespec& modified) {
    file_->setTimes(accessed, modified);
}

bool ImageDestination::finalize() {
    if (!image_ || finalized_) return false;
    finalized_ = true;
    bool written = false;
    try {
        MetadataBlocks blocks;
        const VImage out = prepared(*image_, properties_, options_.bitDepth, blocks);
        FileTarget target(file_->fd());
        if (goal_) {
            // Several encodes of one picture: decoded once, held in memory.
            chosen_ = chooseQuality(out.copy_memory(), blocks, format_, options_, *goal_);
            if (chosen_->met || !goal_->bytes) target.write(chosen_->file);
            written = !target.failed() && (chosen_->met || !goal_->bytes);
        } else {
            encoderFor(format_).encode(out, blocks, options_, target);
            written = !target.failed();
        }
    } catch (const vips::VError&) {
        vips_error_clear();
        written = false;
    }
    if (written && sizeLimit_) {
        struct stat encoded {};
        written = ::fstat(file_->fd(), &encoded) == 0;
        if (written && encoded.st_size >= *sizeLimit_) {
            notSmaller_ = encoded.st_size;
            written = false;
        }
    }
    return file_->commit(written);
}

}  // namespace krumple
