#include <cstring>
#include <memory>

#include <libexif/exif-data.h>

#include "metadata_blocks.h"

namespace krumple::exif {

namespace {
constexpr std::uint8_t prefix[6] = {'E', 'x', 'i', 'f', 0, 0};

struct ExifDataDeleter {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};
using ExifPtr = std::unique_ptr<ExifData, ExifDataDeleter>;

// Parsed as stored: libexif's "fixes" would add and drop tags.
ExifPtr load(const Blob& tiff) {
    if (tiff.size() < 8) return nullptr;
    const Blob block = withPrefix(tiff);
    ExifPtr ed(exif_data_new());
    if (!ed) return nullptr;
    exif_data_unset_option(ed.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(ed.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(ed.get(), block.data(), static_cast<unsigned int>(block.size()));
    const bool any = ed->ifd[EXIF_IFD_0]->count + ed->ifd[EXIF_IFD_EXIF]->count + ed->ifd[EXIF_IFD_GPS]->count > 0;
    return any ? std::move(ed) : nullptr;
}

double rationalValue(const ExifEntry* e, ExifByteOrder order, unsigned long i) {
    const unsigned char* p = e->data + i * exif_format_get_size(e->format);
    if (e->format == EXIF_FORMAT_RATIONAL) {
        const ExifRational r = exif_get_rational(p, order);
        return r.denominator ? static_cast<double>(r.numerator) / r.denominator : 0.0;
    }
    const ExifSRational r = exif_get_srational(p, order);
    return r.denominator ? static_cast<double>(r.numerator) / r.denominator : 0.0;
}

std::optional<PropertyValue> valueOf(const ExifEntry* e, ExifByteOrder order, ExifIfd ifd) {
    if (!e->data || e->size < exif_format_get_size(e->format) * e->components) return std::nullopt;
    switch (e->format) {
    case EXIF_FORMAT_SHORT:
        if (e->components == 1) return static_cast<double>(exif_get_short(e->data, order));
        break;
    case EXIF_FORMAT_SSHORT:
        if (e->components == 1) return static_cast<double>(exif_get_sshort(e->data, order));
        break;
    case EXIF_FORMAT_LONG:
        if (e->components == 1) return static_cast<double>(exif_get_long(e->data, order));
        break;
    case EXIF_FORMAT_SLONG:
        if (e->components == 1) return static_cast<double>(exif_get_slong(e->data, order));
        break;
    case EXIF_FORMAT_RATIONAL:
    case EXIF_FORMAT_SRATIONAL:
        if (e->components == 1) return rationalValue(e, order, 0);
        // Degrees, minutes, seconds become decimal degrees.
        if (ifd == EXIF_IFD_GPS && e->components == 3 &&
            (e->tag == EXIF_TAG_GPS_LATITUDE || e->tag == EXIF_TAG_GPS_LONGITUDE))
            return rationalValue(e, order, 0) + rationalValue(e, order, 1) / 60.0 +
                   rationalValue(e, order, 2) / 3600.0;
        break;
    case EXIF_FORMAT_ASCII: {
        std::string s(reinterpret_cast<const char*>(e->data), e->size);
        s.resize(std::strlen(s.c_str()));
        return s;
    }
    default:
        break;
    }
    char text[1024] = {};
    exif_entry_get_value(const_cast<ExifEntry*>(e), text, sizeof text);
    return std::string(text);
}
}  // namespace

Blob bareTiff(const std::uint8_t* data, std::size_t size) {
    if (size >= 6 && std::memcmp(data, prefix, 6) == 0) return Blob(data + 6, data + size);
    return Blob(data, data + size);
}

Blob withPrefix(const Blob& tiff) {
    Blob out(sizeof prefix + tiff.size());
    std::memcpy(out.data(), prefix, sizeof prefix);
    if (!tiff.empty()) std::memcpy(out.data() + sizeof prefix, tiff.data(), tiff.size());
    return out;
}

Properties dictionaries(const Blob& tiff) {
    Properties result;
    ExifPtr ed = load(tiff);
    if (!ed) return result;
    const ExifByteOrder order = exif_data_get_byte_order(ed.get());
    const std::pair<ExifIfd, std::string_view> ifds[] = {
        {EXIF_IFD_0, prop::tiffDictionary}, {EXIF_IFD_EXIF, prop::exifDictionary}, {EXIF_IFD_GPS, prop::gpsDictionary}};
    for (auto [ifd, key] : ifds) {
        Properties dict;
        const ExifContent* content = ed->ifd[ifd];
        for (unsigned int i = 0; i < content->count; ++i) {
            const ExifEntry* e = content->entries[i];
            const char* name = exif_tag_get_name_in_ifd(e->tag, ifd);
            if (!name) continue;
            if (auto v = valueOf(e, order, ifd)) dict.emplace(name, std::move(*v));
        }
        if (!dict.empty()) result.emplace(std::string(key), std::move(dict));
    }
    return result;
}

std::optional<Blob> upright(const Blob& tiff, int orientation) {
    ExifPtr ed = load(tiff);
    if (!ed) return std::nullopt;
    const ExifByteOrder order = exif_data_get_byte_order(ed.get());

    ExifContent* ifd0 = ed->ifd[EXIF_IFD_0];
    ExifEntry* o = exif_content_get_entry(ifd0, EXIF_TAG_ORIENTATION);
    if (!o) {
        o = exif_entry_new();
        o->tag = EXIF_TAG_ORIENTATION;
        exif_content_add_entry(ifd0, o);
        exif_entry_initialize(o, EXIF_TAG_ORIENTATION);
        exif_entry_unref(o);
    }
    if (o->format == EXIF_FORMAT_SHORT && o->components >= 1 && o->data)
        exif_set_short(o->data, order, static_cast<ExifShort>(orientation));

    ExifContent* exifIfd = ed->ifd[EXIF_IFD_EXIF];
    for (ExifTag tag : {EXIF_TAG_PIXEL_X_DIMENSION, EXIF_TAG_PIXEL_Y_DIMENSION})
        if (ExifEntry* e = exif_content_get_entry(exifIfd, tag)) exif_content_remove_entry(exifIfd, e);

    // The thumbnail: libexif owns it with plain malloc, as libvips also assumes.
    free(ed->data);
    ed->data = nullptr;
    ed->size = 0;
    for (unsigned int i = ed->ifd[EXIF_IFD_1]->count; i > 0; --i)
        exif_content_remove_entry(ed->ifd[EXIF_IFD_1], ed->ifd[EXIF_IFD_1]->entries[i - 1]);

    unsigned char* out = nullptr;
    unsigned int size = 0;
    exif_data_save_data(ed.get(), &out, &size);
    if (!out || size == 0) return std::nullopt;
    Blob result = bareTiff(out, size);
    free(out);
    return result;
}

}  // namespace krumple::exif
