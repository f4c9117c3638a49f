// The parts that work without files: which formats are offered, the size and
// savings texts, our quality on each saver's scale, the rewriting of the
// metadata blocks, and how libvips is set up.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <vips/vips.h>
#include <vips/vector.h>

#include "fmt.h"
#include "metadata_blocks.h"
#include "output_format.h"
#include "encoder.h"
#include "converter.h"
#include "difference.h"
#include "image_library.h"
#include "test_support.h"

namespace krumple {
namespace {

using Formats = std::vector<OutputFormat>;

TEST(AvailableFormats, InDeclarationOrderOnceEachAndAllSixHere) {
    EXPECT_EQ(OutputFormat::availableFrom(std::vector<std::string>{"public.png", "foo", "public.heic", "public.png",
                                                                   "public.jpg", "PUBLIC.JPEG"}),
              (Formats{OutputFormat::heic, OutputFormat::png}));
    EXPECT_EQ(OutputFormat::availableFrom(std::nullopt), Formats{});
    // Debian's libvips encodes all six, so the probe must find every one.
    EXPECT_EQ(OutputFormat::available(), Formats(OutputFormat::allCases().begin(), OutputFormat::allCases().end()));
}

// Orc 0.4.33 frees compiled code without taking its lock, so resampling on
// several threads at once (thumbnails, a batch) could corrupt its code memory.
TEST(ImageLibrary, CompilesNoOrcCode) {
    ensureImageLibrary();
    EXPECT_FALSE(vips_vector_isenabled());
}

TEST(SizeTexts, PercentRoundsHalvesAwayFromZeroAndSignsGains) {
    const std::vector<std::tuple<std::int64_t, std::int64_t, std::string>> cases = {
        {1000, 660, "-34%"}, {1000, 1500, "+50%"}, {1000, 1000, "0%"},   {1000, 1004, "0%"},
        {1000, 1005, "+1%"}, {1000, 995, "-1%"},   {1000, 996, "0%"},    {1000, 0, "-100%"},
        {100, 1250, "+1150%"}, {3, 1, "-67%"},     {0, 5000, "0%"},      {-10, 5, "0%"},
    };
    for (const auto& [from, to, text] : cases) EXPECT_EQ(Fmt::percent(from, to), text) << from << " -> " << to;
}

TEST(SizeTexts, BytesAsTheDesktopShowsThemAndSavingsJoinBoth) {
    // GLib's units, with a no-break space before a unit with a fraction.
    EXPECT_EQ(Fmt::byteCount(999), "999 bytes");
    EXPECT_EQ(Fmt::byteCount(5'000'000'000), "5.0\u00A0GB");
    EXPECT_EQ(Fmt::savings(2'400'000, 800'000), "2.4\u00A0MB \u2192 800.0\u00A0kB (-67%)");
}

TEST(QualityMapping, EachSaverRisesWithQualityToItsBestAndJpegKeepsTheKnownScale) {
    for (const OutputFormat format : {OutputFormat::heic, OutputFormat::avif, OutputFormat::jxl, OutputFormat::webp}) {
        SCOPED_TRACE(format.rawValue());
        int previous = 0;
        for (int step = 0; step <= 1000; ++step) {
            const int q = optionsFor(format, step / 1000.0).q;
            ASSERT_GE(q, previous) << "quality " << step / 1000.0;
            previous = q;
        }
        EXPECT_EQ(previous, 100);
        EXPECT_LT(optionsFor(format, 0.05).q, optionsFor(format, 0.95).q);
    }
    for (int percent = 5; percent <= 100; ++percent)
        EXPECT_EQ(optionsFor(OutputFormat::jpeg, percent / 100.0).q, percent);
    // Lossless: PNG always, JPEG XL and WebP only at 100 %.
    for (const OutputFormat format : OutputFormat::allCases())
        for (const double quality : {0.5, 0.99, 1.0})
            EXPECT_EQ(optionsFor(format, quality).lossless,
                      format == OutputFormat::png ||
                          (quality == 1.0 && (format == OutputFormat::jxl || format == OutputFormat::webp)))
                << format.rawValue() << " at " << quality;
}

TEST(MemoryEstimate, FollowsTheOutputsPixelsFormatAndLossless) {
    const test::TempDir dir;
    const test::fs::path photo = dir / "photo.jpg";
    test::makeJpeg(photo, 4000, 3000);
    const auto at = [&](OutputFormat format, double quality, std::optional<std::int64_t> maxWidth = {}) {
        return Converter::memoryEstimate(photo, ConvertSettings{format, quality, maxWidth, false});
    };
    // 12 MP: JPEG XL holds the picture several times over; JPEG only its coefficients.
    EXPECT_GT(at(OutputFormat::jxl, 0.8), 500'000'000);
    EXPECT_LT(at(OutputFormat::jpeg, 0.8), 150'000'000);
    // A quarter of the width is a sixteenth of the pixels.
    EXPECT_LT(at(OutputFormat::jxl, 0.8, 1000), at(OutputFormat::jxl, 0.8) / 4);
    EXPECT_GT(at(OutputFormat::jxl, 1.0), at(OutputFormat::jxl, 0.8));
    EXPECT_GT(at(OutputFormat::webp, 1.0), at(OutputFormat::webp, 0.8));
    EXPECT_EQ(Converter::memoryEstimate(dir / "missing.jpg", {}), 0);
    // Measuring the output afterwards: JPEG's small conversion gives way to
    // the measure's hundreds of MB; lossless JPEG XL still needs more itself.
    const auto measured = [&](OutputFormat format, double quality) {
        return Converter::memoryEstimate(photo, ConvertSettings{format, quality, std::nullopt, false}, true);
    };
    EXPECT_GT(measured(OutputFormat::jpeg, 0.8), 400'000'000);
    EXPECT_EQ(measured(OutputFormat::jxl, 1.0), at(OutputFormat::jxl, 1.0));
    // The window's measure of files already written: a tile's planes at least;
    // nothing to wait for when a file won't open.
    EXPECT_GT(Converter::differenceMemoryEstimate(photo, photo), 300'000'000);
    EXPECT_EQ(Converter::differenceMemoryEstimate(photo, dir / "missing.jpg"), 0);
}

TEST(MetadataBlocks, EveryXmpOrientationBecomesUprightAndNothingElseChanges) {
    EXPECT_EQ(xmp::upright(R"(<rdf:Description tiff:Orientation = '6' exif:PixelXDimension="4000" tiff:Make="8"/>)"
                           "<tiff:Orientation> 8</tiff:Orientation><tiff:Orientation>oops</tiff:Orientation>"),
              R"(<rdf:Description tiff:Orientation = '1' exif:PixelXDimension="4000" tiff:Make="8"/>)"
              "<tiff:Orientation> 1</tiff:Orientation><tiff:Orientation>oops</tiff:Orientation>");
}

std::string boxTypes(const Blob& file) {
    std::string types;
    for (std::size_t at = 0, size = 8; size >= 8 && at + 8 <= file.size(); at += size) {
        size = std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 | std::size_t{file[at + 2]} << 8 | file[at + 3];
        types += std::string(reinterpret_cast<const char*>(file.data() + at + 4), 4) + "|";
    }
    return types;
}

TEST(MetadataBlocks, JxlBoxesComeBeforeTheCodestreamAndGarbageIsRefused) {
    const Blob bare{0xFF, 0x0A, 1, 2, 3}, exifTiff{'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::string packet = "<x:xmpmeta/>";
    const auto wrapped = jxl::withMetadataBoxes(bare, &exifTiff, &packet);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(boxTypes(*wrapped), "JXL |ftyp|Exif|xml |jxlc|");
    EXPECT_TRUE(std::equal(bare.begin(), bare.end(), wrapped->end() - static_cast<std::ptrdiff_t>(bare.size())));

    // A container keeps its level box right after ftyp and loses its old metadata boxes.
    Blob container(wrapped->begin(), wrapped->begin() + 32);  // signature + ftyp
    const Blob level{0, 0, 0, 9, 'j', 'x', 'l', 'l', 5};
    container.insert(container.end(), level.begin(), level.end());
    container.insert(container.end(), wrapped->begin() + 32, wrapped->end());
    const auto rewrapped = jxl::withMetadataBoxes(container, &exifTiff, nullptr);
    ASSERT_TRUE(rewrapped);
    EXPECT_EQ(boxTypes(*rewrapped), "JXL |ftyp|jxll|Exif|jxlc|");

    EXPECT_FALSE(jxl::withMetadataBoxes(Blob{'G', 'I', 'F', '8'}, &exifTiff, nullptr));
    container.resize(container.size() - 2);  // the last box runs past the end
    EXPECT_FALSE(jxl::withMetadataBoxes(container, &exifTiff, nullptr));
}

}  // namespace
}  // namespace krumple
