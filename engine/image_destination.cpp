#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "image_io.h"
#include "metadata_blocks.h"
#include "encoder.h"
#include "thread_handover.h"

namespace krumple {

namespace {
using vips::VImage;

std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// A hidden name in the destination folder, so that the final rename is atomic
// and a batch adding that folder never picks it up.
std::filesystem::path temporaryName(const std::filesystem::path& folder) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, ".krumple-%016llx.tmp", static_cast<unsigned long long>(random()));
    return folder / name;
}

bool writeAll(int fd, const Blob& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A target over a file descriptor that remembers a failed write. Some savers
// ignore a failed final flush and report success over a short file (seen on
// a full disk), so success is decided here, not by the saver.
struct DescriptorSink {
    int fd;
    bool failed = false;
};

gint64 sinkWrite(VipsTargetCustom*, const void* data, gint64 length, DescriptorSink* sink) {
    const HeldForScope held(sink);
    const auto* bytes = static_cast<const char*>(data);
    gint64 done = 0;
    while (done < length) {
        const ssize_t n = ::write(sink->fd, bytes + done, static_cast<std::size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            sink->failed = true;
            return -1;
        }
        done += n;
    }
    return done;
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

// An unnamed file in `folder` (O_TMPFILE): if the process dies before it is
// linked into place, the kernel frees it and nothing is left behind. Linking
// it goes through /proc; -1 when either is unavailable.
int openUnnamed(const std::filesystem::path& folder) {
    static const bool procLinks = ::access("/proc/self/fd", X_OK) == 0;
    if (!procLinks) return -1;
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool linkUnnamed(int fd, const std::filesystem::path& to) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// link() never replaces: that is Replace::never. Replacing links a hidden name
// first and renames it over the old file, atomically.
bool linkIntoPlace(int fd, const std::filesystem::path& to, ImageDestination::Replace replace) {
    if (linkUnnamed(fd, to)) return true;
    if (errno != EEXIST || replace == ImageDestination::Replace::never) return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::filesystem::path hidden = temporaryName(folderOf(to));
        if (!linkUnnamed(fd, hidden)) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (::rename(hidden.c_str(), to.c_str()) == 0) return true;
        ::unlink(hidden.c_str());
        return false;
    }
    return false;
}

bool moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                   ImageDestination::Replace replace) {
    if (replace == ImageDestination::Replace::allowed) return ::rename(from.c_str(), to.c_str()) == 0;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: link() refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
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
    void write(const Blob& bytes) override { sink_.failed = sink_.failed || !writeAll(sink_.fd, bytes); }
    bool failed() const { return sink_.failed; }

private:
    DescriptorSink sink_;
};
}  // namespace

std::unique_ptr<ImageDestination> ImageDestination::create(const std::filesystem::path& path, OutputFormat format,
                                                           Replace replace) {
    ensureImageLibrary();
    if (!canEncode(format.typeIdentifier())) return nullptr;
    const std::filesystem::path folder = folderOf(path);
    if (const int fd = openUnnamed(folder); fd >= 0)
        return std::unique_ptr<ImageDestination>(
            new ImageDestination(path, format, replace, {}, fd));
    // File systems without unnamed files: a hidden name, renamed at the end.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::filesystem::path temp = temporaryName(folder);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::unique_ptr<ImageDestination>(
                new ImageDestination(path, format, replace, std::move(temp), fd));
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

ImageDestination::ImageDestination(std::filesystem::path path, OutputFormat format, Replace replace,
                                   std::filesystem::path temp, int fd)
    : path_(std::move(path)), format_(format), replace_(replace),
      temp_(std::move(temp)), fd_(fd) {}

ImageDestination::~ImageDestination() {
    if (fd_ >= 0) ::close(fd_);
    if (!finalized_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void ImageDestination::addImage(const Image& image, const Properties& properties, const EncodeOptions& options) {
    image_ = image;
    properties_ = properties;
    options_ = options;
}

void ImageDestination::setTimes(const struct timespec& accessed, const struct timespec& modified) {
    times_ = std::array<struct timespec, 2>{accessed, modified};
}

bool ImageDestination::finalize() {
    if (!image_ || finalized_ || fd_ < 0) return false;
    bool written = false;
    try {
        MetadataBlocks blocks;
        const VImage out = prepared(*image_, properties_, options_.bitDepth, blocks);
        FileTarget target(fd_);
        encoderFor(format_).encode(out, blocks, options_, target);
        written = !target.failed();
    } catch (const vips::VError&) {
        vips_error_clear();
        written = false;
    }
    // Flushed before the rename, so a crash never leaves a short file under the final name.
    if (written && times_) written = ::futimens(fd_, times_->data()) == 0;
    written = written && ::fsync(fd_) == 0;
    finalized_ = true;
    if (temp_.empty()) {
        // Linked while still open; an unlinked, unnamed file just vanishes on close.
        const bool placed = written && linkIntoPlace(fd_, path_, replace_);
        ::close(fd_);
        fd_ = -1;
        return placed;
    }
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!written || !closed || !moveIntoPlace(temp_, path_, replace_)) {
        ::unlink(temp_.c_str());
        return false;
    }
    return true;
}

}  // namespace krumple
