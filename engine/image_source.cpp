#include <fcntl.h>
#include <algorithm>
#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

#include "image_io.h"

#include "apng.h"
#include "avif_frames.h"
#include "jxl_frames.h"
#include "metadata_blocks.h"

namespace krumple {

namespace {
using vips::VImage;

// Pixel counts above this are refused before any decoding: a small file can
// claim an enormous picture.
constexpr std::int64_t pixelLimit = std::int64_t{1} << 28;

std::optional<Blob> blobField(const VImage& im, const char* name) {
    if (im.get_typeof(name) == 0) return std::nullopt;
    size_t size = 0;
    const void* data = im.get_blob(name, &size);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return Blob(bytes, bytes + size);
}

Properties readProperties(const VImage& im) {
    Properties p;
    p.emplace(prop::pixelWidth, im.width());
    p.emplace(prop::pixelHeight, im.height());
    if (im.get_typeof(VIPS_META_ORIENTATION) != 0) p.emplace(prop::orientation, im.get_int(VIPS_META_ORIENTATION));
    if (auto e = blobField(im, VIPS_META_EXIF_NAME)) p.emplace(prop::exifData, exif::bareTiff(e->data(), e->size()));
    if (auto x = blobField(im, VIPS_META_XMP_NAME)) {
        std::string packet(x->begin(), x->end());
        while (!packet.empty() && packet.back() == '\0') packet.pop_back();
        p.emplace(prop::xmpData, std::move(packet));
    }
    if (auto i = blobField(im, VIPS_META_IPTC_NAME)) p.emplace(prop::iptcData, std::move(*i));
    return p;
}

// Loaders are chosen by content, and the path is never parsed for
// "[options]" as libvips does with file names.
VImage openHeader(const std::filesystem::path& path, VipsFailOn failOn,
                  VipsAccess access = VIPS_ACCESS_SEQUENTIAL) {
    vips::VSource source = vips::VSource::new_from_file(path.c_str());
    return VImage::new_from_source(source, "", VImage::option()->set("access", access)->set("fail_on", failOn));
}

// Formats only ImageMagick reads (BMP among them) have no streaming loader in
// libvips 8.14. It gets the file's bytes, never its path: ImageMagick would
// read "[...]" and "xx:" in a file name as instructions.
constexpr std::uintmax_t magickFileLimit = std::uintmax_t{512} << 20;

// Only raster formats libvips has no loader for reach ImageMagick, told by
// their first bytes. Anything else it would sniff as SVG, MVG, MSL or text,
// which draw, run commands or pull in other files named inside.
bool magickRaster(std::string_view b) {
    if (b.size() >= 18 && b.starts_with("BM")) {
        const auto dib = static_cast<unsigned char>(b[14]);  // the info header's size: a known version
        return b[15] == 0 && b[16] == 0 && b[17] == 0 &&
               (dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124);
    }
    if (b.size() >= 6 && b.starts_with(std::string_view("\0\0\1\0", 4))) return b[4] != 0 || b[5] != 0;  // ICO
    return b.size() >= 6 && b.starts_with("8BPS") && b[4] == 0 && (b[5] == 1 || b[5] == 2);  // PSD, PSB
}

std::size_t readUpTo(int fd, char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, into + done, count - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

VImage openWithMagick(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size == 0 || size > magickFileLimit) throw vips::VError("not an image");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw vips::VError("unreadable");
    // ImageMagick gets the very head checked here, so a file changed meanwhile
    // can't slip past; anything else is not read any further.
    char head[32];
    const std::size_t headSize = std::min<std::size_t>(size, sizeof head);
    std::vector<char> bytes;
    if (readUpTo(fd, head, headSize) == headSize && magickRaster({head, headSize})) {
        bytes.assign(head, head + headSize);
        bytes.resize(size);
        if (readUpTo(fd, bytes.data() + headSize, size - headSize) != size - headSize) bytes.clear();
    }
    ::close(fd);
    if (bytes.empty()) throw vips::VError("not an image");
    VipsBlob* blob = vips_blob_copy(bytes.data(), size);
    try {
        VImage image = VImage::magickload_buffer(blob);
        vips_area_unref(reinterpret_cast<VipsArea*>(blob));
        return image;
    } catch (...) {
        vips_area_unref(reinterpret_cast<VipsArea*>(blob));
        throw;
    }
}

bool isRegularReadableFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

// The PNM loader turns a header without a readable size ("P5" or "Pf"
// followed by noise) into a 1 x 1 picture; read the size ourselves.
bool pnmHeaderHasSize(const std::filesystem::path& path) {
    char head[512] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, head, sizeof head - 1);
    ::close(fd);
    if (n < 3) return false;
    const std::string_view text(head, static_cast<std::size_t>(n));
    std::size_t i = 2;
    auto positiveNumber = [&] {
        while (i < text.size() && (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == '#')) {
            if (text[i] == '#') i = text.find('\n', i) == std::string_view::npos ? text.size() : text.find('\n', i);
            else ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i > start && text.substr(start, i - start).find_first_not_of('0') != std::string_view::npos;
    };
    if (!std::isspace(static_cast<unsigned char>(text[2])) && text[2] != '#') return false;
    return positiveNumber() && positiveNumber();
}

bool isPnm(const VImage& header) {
    return header.get_typeof(VIPS_META_LOADER) != 0 &&
           std::string_view(header.get_string(VIPS_META_LOADER)).starts_with("ppmload");
}

bool plausible(const VImage& header, const std::filesystem::path& path) {
    if (header.width() < 1 || header.height() < 1) return false;
    return !isPnm(header) || pnmHeaderHasSize(path);
}

bool withinLimit(const VImage& header) {
    return static_cast<std::int64_t>(header.width()) * header.height() <= pixelLimit;
}

// The ASCII PNM loader fills missing samples with zeros, slowly, instead of
// failing: a 100-byte file can claim millions of pixels. Count the samples.
bool asciiPnmHasEverySample(const std::filesystem::path& path, const VImage& header) {
    char magic[2] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (::read(fd, magic, 2) != 2 || magic[0] != 'P' || magic[1] < '1' || magic[1] > '3') {
        ::close(fd);
        return true;  // binary PNM: the loader's own truncation check holds
    }
    const bool bits = magic[1] == '1';  // P1 digits may run together
    const std::int64_t needed = std::int64_t{header.width()} * header.height() * header.bands() +
                                (bits ? 2 : 3);  // the size (and maxval) come first
    std::int64_t seen = 0;
    bool inNumber = false, inComment = false;
    char buffer[1 << 16];
    ssize_t n = 0;
    while (seen < needed && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n && seen < needed; ++i) {
            const char c = buffer[i];
            if (inComment) {
                inComment = c != '\n' && c != '\r';
            } else if (c == '#') {
                inComment = true;
                inNumber = false;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                if (!inNumber || (bits && seen >= 2)) ++seen;
                inNumber = true;
            } else {
                inNumber = false;
            }
        }
    }
    ::close(fd);
    return seen >= needed;
}

bool hasSixteenBits(const VImage& header) {
    return header.format() == VIPS_FORMAT_USHORT && header.interpretation() != VIPS_INTERPRETATION_CMYK;
}

// Upright, longer side at most `box`, still 16 bits a sample: libvips'
// thumbnail always lands on 8. Alpha is premultiplied while resampling, as
// the thumbnail does.
VImage deepUpright(VImage image, int box) {
    const bool grey = image.bands() < 3;
    const VipsInterpretation wanted = grey ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_RGB16;
    if (image.interpretation() != wanted && image.interpretation() != VIPS_INTERPRETATION_sRGB &&
        image.interpretation() != VIPS_INTERPRETATION_B_W && image.interpretation() != VIPS_INTERPRETATION_MULTIBAND)
        image = image.colourspace(wanted);
    image = image.autorot();
    const double longer = std::max(image.width(), image.height());
    if (longer > box) {
        const bool alpha = image.has_alpha();
        if (alpha) image = image.premultiply(VImage::option()->set("max_alpha", 65535.0));
        image = image.resize(box / longer, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
        if (alpha) image = image.unpremultiply(VImage::option()->set("max_alpha", 65535.0));
        image = image.cast(VIPS_FORMAT_USHORT);
    }
    return image.copy(VImage::option()->set("interpretation", wanted));
}

// Browsers play a frame of 10 ms or less for 100 ms: so does the output.
VImage withPlayedDelays(VImage image) {
    if (image.get_typeof("delay") == 0) return image;
    std::vector<int> delays = image.get_array_int("delay");
    for (int& delay : delays)
        if (delay <= 10) delay = 100;
    image = image.copy();
    image.set("delay", delays);
    return image;
}

// Each frame of a stack scaled alike, the longer side of a frame at most `box`.
VImage framesWithin(const VImage& stacked, int box) {
    const int frames = stackedFrames(stacked), page = stacked.height() / frames;
    const double scale = static_cast<double>(box) / std::max(stacked.width(), page);
    if (scale >= 1) return stacked;
    std::vector<VImage> scaled;
    for (int i = 0; i < frames; ++i) scaled.push_back(stacked.crop(0, i * page, stacked.width(), page).resize(scale));
    VImage out = VImage::arrayjoin(scaled, VImage::option()->set("across", 1)).copy();
    out.set(VIPS_META_PAGE_HEIGHT, scaled.front().height());
    return out;
}

std::optional<Image> finish(VImage image, bool decodeNow) {
    if (decodeNow) image = image.copy_memory();
    return Image{image, decodeNow};
}
}  // namespace

bool Image::hasAlpha() const { return vips_image_hasalpha(pixels.get_image()) != 0; }

int stackedFrames(const VImage& image) {
    if (image.get_typeof(VIPS_META_PAGE_HEIGHT) == 0) return 1;
    const int page = image.get_int(VIPS_META_PAGE_HEIGHT);
    return page > 0 && page < image.height() && image.height() % page == 0 ? image.height() / page : 1;
}

FrameTiming frameTiming(const VImage& stacked) {
    FrameTiming timing;
    if (stacked.get_typeof("delay") != 0) timing.delays = stacked.get_array_int("delay");
    if (stacked.get_typeof("loop") != 0) timing.loop = std::max(0, stacked.get_int("loop"));
    return timing;
}

VImage withFrameTiming(VImage stacked, int pageHeight, const FrameTiming& timing) {
    stacked = stacked.copy();
    stacked.set(VIPS_META_PAGE_HEIGHT, pageHeight);
    stacked.set(VIPS_META_N_PAGES, stacked.height() / pageHeight);
    stacked.set("delay", timing.delays);
    stacked.set("loop", timing.loop);
    return stacked;
}

int Image::frames() const { return stackedFrames(pixels); }

ImageSource::ImageSource(std::filesystem::path path, VImage header, Properties props, bool magick)
    : path_(std::move(path)), header_(std::move(header)), properties_(std::move(props)), magick_(magick) {}

// Checked when decoding, not when opening: adding files only opens them, and
// counting an ASCII file's samples reads all of it.
bool ImageSource::decodable() const {
    return withinLimit(header_) && (!isPnm(header_) || asciiPnmHasEverySample(path_, header_));
}

std::unique_ptr<ImageSource> ImageSource::open(const std::filesystem::path& path) {
    ensureImageLibrary();
    // FIFOs and devices would block or never end.
    if (!isRegularReadableFile(path)) return nullptr;
    bool magick = false;
    VImage header;
    try {
        header = openHeader(path, VIPS_FAIL_ON_NONE);
    } catch (const vips::VError&) {
        vips_error_clear();
        if (auto avif = openAvif(path)) return avif;
        try {
            header = openWithMagick(path);
            magick = true;
        } catch (const vips::VError&) {
            vips_error_clear();
            return nullptr;
        }
    }
    if (!plausible(header, path)) return nullptr;
    if (!magick && header.get_typeof(VIPS_META_LOADER) != 0 &&
        std::string_view(header.get_string(VIPS_META_LOADER)).starts_with("heifload"))
        if (auto avif = openAvif(path, /*onlyBeyondLibheif=*/true)) return avif;
    Properties props = readProperties(header);
    return std::unique_ptr<ImageSource>(new ImageSource(path, std::move(header), std::move(props), magick));
}

// libvips 8.14 refuses AVIF image sequences, or sees only the still beside
// one, and fails to decode stills libheif 1.15 can't transform: libavif
// reads them. The header is a stand-in of the right size and kind; pixels
// are decoded when asked for.
std::unique_ptr<ImageSource> ImageSource::openAvif(const std::filesystem::path& path, bool onlyBeyondLibheif) {
    std::uint8_t head[64] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    const std::size_t got = readUpTo(fd, reinterpret_cast<char*>(head), sizeof head);
    ::close(fd);
    if (!avif::looksLikeAvif(head, got)) return nullptr;
    const auto found = avif::headerOf(path);
    if (!found || (onlyBeyondLibheif && !found->beyondLibheif)) return nullptr;
    std::unique_ptr<ImageSource> source(new ImageSource(path, VImage(), {}, false));
    try {
        const int bands = found->alpha ? 4 : 3;
        VImage header = VImage::black(found->width, found->height, VImage::option()->set("bands", bands));
        header = header.cast(found->deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR)
                     .copy(VImage::option()->set("interpretation", found->deep ? VIPS_INTERPRETATION_RGB16
                                                                                : VIPS_INTERPRETATION_sRGB));
        const auto attach = [&header](const char* name, const void* data, std::size_t size) {
            if (size > 0) vips_image_set_blob_copy(header.get_image(), name, data, size);
        };
        attach(VIPS_META_ICC_NAME, found->icc.data(), found->icc.size());
        attach(VIPS_META_EXIF_NAME, found->exif.data(), found->exif.size());
        attach(VIPS_META_XMP_NAME, found->xmp.data(), found->xmp.size());
        source->header_ = header;
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
    source->properties_ = readProperties(source->header_);
    source->avif_ = true;
    source->frames_ = found->frames;
    return source;
}

VImage ImageSource::load(bool failOnTruncated) const {
    if (magick_) return header_;  // already decoded in memory
    if (avif_) return avifFrames(1);
    return openHeader(path_, failOnTruncated ? VIPS_FAIL_ON_TRUNCATED : VIPS_FAIL_ON_NONE);
}

std::optional<Image> ImageSource::thumbnail(std::int64_t maxPixel, bool decodeNow, bool keepDepth, bool allFrames) const {
    if (!decodable() || maxPixel < 1) return std::nullopt;
    const int box = static_cast<int>(std::min<std::int64_t>(maxPixel, 10'000'000));
    // Frames within the pixel limit together; past it, the first frame alone.
    const bool animation = allFrames && frames() > 1 &&
                           std::int64_t{header_.width()} * header_.height() * frames() <= pixelLimit;
    try {
        if (avif_) {
            const VImage decoded = avifFrames(animation ? frames() : 1);
            if (animation) return finish(withPlayedDelays(framesWithin(decoded, box)), decodeNow);
            if (keepDepth && hasSixteenBits(decoded)) return finish(deepUpright(decoded, box), decodeNow);
            return finish(decoded.thumbnail_image(box, VImage::option()->set("height", box)->set("size", VIPS_SIZE_DOWN)),
                          decodeNow);
        }
        if (keepDepth && hasSixteenBits(header_)) {
            // Turning needs random access; a picture already upright streams.
            const bool turned = header_.get_typeof(VIPS_META_ORIENTATION) != 0 &&
                                header_.get_int(VIPS_META_ORIENTATION) > 1;
            const VImage full = magick_ ? header_
                                        : openHeader(path_, VIPS_FAIL_ON_TRUNCATED,
                                                     turned ? VIPS_ACCESS_RANDOM : VIPS_ACCESS_SEQUENTIAL);
            return finish(deepUpright(full, box), decodeNow);
        }
        const auto options = [box] {
            return VImage::option()->set("height", box)->set("size", VIPS_SIZE_DOWN);
        };
        if (magick_) return finish(header_.thumbnail_image(box, options()), decodeNow);
        if (header_.interpretation() == VIPS_INTERPRETATION_CMYK) {
            // The thumbnail's own CMYK import lands on different colours from a
            // real ICC conversion; convert first. Random access: rotating needs it.
            const VImage cmyk = openHeader(path_, VIPS_FAIL_ON_TRUNCATED, VIPS_ACCESS_RANDOM);
            const VImage rgb = cmyk.icc_transform("srgb", VImage::option()
                                                              ->set("embedded", true)
                                                              ->set("input_profile", "cmyk")
                                                              ->set("intent", VIPS_INTENT_RELATIVE));
            return finish(rgb.thumbnail_image(box, options()), decodeNow);
        }
        if (animation && (loader().starts_with("jxlload") || loader().starts_with("pngload"))) {
            // libvips 8.14 reads a JPEG XL animation's or an APNG's first frame only.
            const auto file = wholeFile();
            auto stacked = !file ? std::nullopt : loader().starts_with("pngload") ? apng::framesOf(*file) : jxl::framesOf(*file);
            if (!stacked) return std::nullopt;
            return finish(withPlayedDelays(framesWithin(*stacked, box)), decodeNow);
        }
        vips::VSource source = vips::VSource::new_from_file(path_.c_str());
        VImage image = VImage::thumbnail_source(source, box,
                                                options()
                                                    // thumbnail_source drops its own fail_on in 8.14;
                                                    // the loader options string gets through.
                                                    ->set("option_string", animation ? "fail_on=truncated,n=-1" : "fail_on=truncated"));
        return finish(animation ? withPlayedDelays(image) : image, decodeNow);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<Image> ImageSource::storedImage() const {
    if (!decodable()) return std::nullopt;
    try {
        return finish(load(true), true);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

bool ImageSource::decodesCleanly() const {
    if (!decodable()) return false;
    try {
        (void)load(true).avg();  // pulls every pixel through the decoder
        return true;
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

bool ImageSource::isDeep() const { return hasSixteenBits(header_); }

int ImageSource::frames() const {
    if (!frames_) frames_ = countFrames();
    return *frames_;
}

int ImageSource::countFrames() const {
    const std::string_view loader = this->loader();
    if (loader.starts_with("pngload")) return std::max(1, apng::frameCount(path_));
    if (loader.starts_with("jxlload")) {
        const auto file = wholeFile();
        return file ? std::max(1, jxl::frameCount(*file)) : 1;
    }
    if (!loader.starts_with("gifload") && !loader.starts_with("webpload")) return 1;
    return header_.get_typeof(VIPS_META_N_PAGES) != 0 ? std::max(1, header_.get_int(VIPS_META_N_PAGES)) : 1;
}

VImage ImageSource::avifFrames(int most) const {
    const auto file = wholeFile();
    auto decoded = file ? avif::framesOf(*file, most) : std::nullopt;
    if (!decoded) throw vips::VError("AVIF");
    return *decoded;
}

// The libvips loader that read the header; empty for ImageMagick's bytes and libavif's.
std::string_view ImageSource::loader() const {
    if (magick_ || avif_ || header_.get_typeof("vips-loader") == 0) return {};
    return header_.get_string("vips-loader");
}

bool ImageSource::streams() const {
    const std::string_view loader = this->loader();
    if (loader.starts_with("pngload"))
        return header_.get_typeof("interlaced") == 0 || header_.get_int("interlaced") == 0;
    return loader.starts_with("jpegload") || loader.starts_with("tiffload");
}

bool ImageSource::isJpeg() const { return loader().starts_with("jpegload"); }

bool ImageSource::isPng() const { return loader().starts_with("pngload"); }

std::shared_ptr<const Blob> ImageSource::jpegFile() const { return isJpeg() ? wholeFile() : nullptr; }

std::shared_ptr<const Blob> ImageSource::wholeFile() const {
    constexpr std::uintmax_t limit = std::uintmax_t{256} << 20;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    if (ec || size == 0 || size > limit) return nullptr;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto bytes = std::make_shared<Blob>(size);
    const bool whole = readUpTo(fd, reinterpret_cast<char*>(bytes->data()), size) == size;
    ::close(fd);
    return whole ? bytes : nullptr;
}

}  // namespace krumple
