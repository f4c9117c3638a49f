// The format table, the writer probe and the size/savings texts.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "converter.h"
#include "fmt.h"
#include "image_io.h"
#include "output_format.h"

namespace krumple {
namespace {

using Formats = std::vector<OutputFormat>;

struct Row {
    OutputFormat format;
    const char* raw;
    const char* label;
    const char* extension;
    const char* typeIdentifier;
    bool lossless;
};

TEST(OutputFormatTable, SixFormatsInOrderWithTheirTexts) {
    const std::vector<Row> expected = {
        {OutputFormat::heic, "heic", "HEIC", "heic", "public.heic", false},
        {OutputFormat::jpeg, "jpeg", "JPEG", "jpg", "public.jpeg", false},
        {OutputFormat::png, "png", "PNG", "png", "public.png", true},
        {OutputFormat::avif, "avif", "AVIF", "avif", "public.avif", false},
        {OutputFormat::jxl, "jxl", "JPEG XL", "jxl", "public.jxl", false},
        {OutputFormat::webp, "webp", "WebP", "webp", "org.webmproject.webp", false},
    };
    const auto& all = OutputFormat::allCases();
    ASSERT_EQ(all.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].raw);
        EXPECT_EQ(all[i], expected[i].format);
        EXPECT_EQ(all[i].rawValue(), expected[i].raw);
        EXPECT_EQ(all[i].label(), expected[i].label);
        EXPECT_EQ(all[i].fileExtension(), expected[i].extension);
        EXPECT_EQ(all[i].typeIdentifier(), expected[i].typeIdentifier);
        EXPECT_EQ(all[i].isLossless(), expected[i].lossless);
        EXPECT_EQ(OutputFormat::fromRawValue(expected[i].raw), std::optional<OutputFormat>(expected[i].format));
    }
}

TEST(OutputFormatTable, OnlyRawValuesNameAFormat) {
    for (const char* other : {"jpg", "JPEG", "Jpeg", "heif", "jpeg ", "", "public.png", "JPEG XL", "tiff"}) {
        EXPECT_EQ(OutputFormat::fromRawValue(other), std::nullopt) << '"' << other << '"';
    }
}

TEST(AvailableFormats, KeepDeclarationOrderAndDropForeignIdentifiers) {
    EXPECT_EQ(OutputFormat::availableFrom(std::vector<std::string>{"public.png", "public.jpeg", "foo"}),
              (Formats{OutputFormat::jpeg, OutputFormat::png}));
    EXPECT_EQ(OutputFormat::availableFrom(std::vector<std::string>{"org.webmproject.webp", "public.heic"}),
              (Formats{OutputFormat::heic, OutputFormat::webp}));
}

TEST(AvailableFormats, NeverListAFormatTwice) {
    EXPECT_EQ(OutputFormat::availableFrom(
                  std::vector<std::string>{"public.jxl", "public.avif", "public.jxl", "public.avif", "public.tiff"}),
              (Formats{OutputFormat::avif, OutputFormat::jxl}));
}

TEST(AvailableFormats, EmptyOrMissingWriterListGivesNone) {
    EXPECT_TRUE(OutputFormat::availableFrom(std::vector<std::string>{}).empty());
    EXPECT_TRUE(OutputFormat::availableFrom(std::nullopt).empty());
    // Near misses are not the identifiers.
    EXPECT_TRUE(OutputFormat::availableFrom(std::vector<std::string>{"public.jpg", "PUBLIC.PNG", "webp", "image/avif"})
                    .empty());
}

// Debian's libvips encodes all six, so the probe must find every one of them.
TEST(AvailableFormats, ProbeFindsAllSixOnThisSystem) {
    const auto& identifiers = writableTypeIdentifiers();
    for (const auto format : OutputFormat::allCases()) {
        EXPECT_NE(std::find(identifiers.begin(), identifiers.end(), format.typeIdentifier()), identifiers.end())
            << format.typeIdentifier();
    }
    const auto& available = OutputFormat::available();
    EXPECT_EQ(available, Formats(OutputFormat::allCases().begin(), OutputFormat::allCases().end()));
}

TEST(PropertyNumbers, OnlyNumbersAreNumbers) {
    const Properties props{{"PixelWidth", 4000}, {"Orientation", "6"}};
    EXPECT_EQ(numberAt(props, prop::pixelWidth), 4000.0);
    EXPECT_EQ(numberAt(props, prop::orientation), std::nullopt);
    EXPECT_EQ(numberAt(props, prop::pixelHeight), std::nullopt);
}

TEST(PercentText, RoundsHalvesAwayFromZeroAndSignsGains) {
    EXPECT_EQ(Fmt::percent(1000, 660), "-34%");
    EXPECT_EQ(Fmt::percent(1000, 1500), "+50%");
    EXPECT_EQ(Fmt::percent(1000, 1000), "0%");
    EXPECT_EQ(Fmt::percent(1000, 1004), "0%");
    EXPECT_EQ(Fmt::percent(1000, 1005), "+1%");
    EXPECT_EQ(Fmt::percent(1000, 995), "-1%");
    EXPECT_EQ(Fmt::percent(1000, 996), "0%");
    EXPECT_EQ(Fmt::percent(1000, 0), "-100%");
    EXPECT_EQ(Fmt::percent(100, 1250), "+1150%");
    EXPECT_EQ(Fmt::percent(3, 1), "-67%");
}

TEST(PercentText, NothingToCompareAgainstIsZero) {
    EXPECT_EQ(Fmt::percent(0, 5000), "0%");
    EXPECT_EQ(Fmt::percent(0, 0), "0%");
    EXPECT_EQ(Fmt::percent(-10, 5), "0%");
}

std::string glibSize(std::int64_t bytes) {
    gchar* text = g_format_size(static_cast<guint64>(bytes));
    std::string out = text;
    g_free(text);
    return out;
}

TEST(ByteCountText, IsWhatTheDesktopFileManagersShow) {
    // GLib puts a no-break space between number and unit.
    EXPECT_EQ(Fmt::byteCount(2'400'000), "2.4\u00A0MB");
    EXPECT_EQ(Fmt::byteCount(800'000), "800.0\u00A0kB");
    for (const std::int64_t bytes : {std::int64_t{0}, std::int64_t{1}, std::int64_t{999}, std::int64_t{1000},
                                     std::int64_t{123'456'789}, std::int64_t{5'000'000'000}}) {
        EXPECT_EQ(Fmt::byteCount(bytes), glibSize(bytes)) << bytes;
    }
}

TEST(SavingsText, JoinsBothSizesWithAnArrowAndThePercent) {
    EXPECT_EQ(Fmt::savings(2'400'000, 800'000), "2.4\u00A0MB \u2192 800.0\u00A0kB (-67%)");
    EXPECT_EQ(Fmt::savings(2'400'000, 800'000),
              glibSize(2'400'000) + " \u2192 " + glibSize(800'000) + " (" + Fmt::percent(2'400'000, 800'000) + ")");
    EXPECT_EQ(Fmt::savings(1000, 1500), glibSize(1000) + " \u2192 " + glibSize(1500) + " (+50%)");
    EXPECT_EQ(Fmt::savings(0, 1500), glibSize(0) + " \u2192 " + glibSize(1500) + " (0%)");
}

}  // namespace
}  // namespace krumple
