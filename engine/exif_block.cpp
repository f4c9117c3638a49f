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
