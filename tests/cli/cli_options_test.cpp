// Command-line parsing: what is accepted, and the message for what is not.

#include <gtest/gtest.h>

#include "cli_options.h"

namespace krumple::cli {
namespace {

TEST(CliOptionsTest, EveryOptionInBothSpellings) {
    const auto parsed = parseArguments({"--format", "webp", "--quality=0.5", "--max-width", "800", "--strip",
                                        "--out=/tmp/o", "--jobs", "3", "--json", "--only-smaller", "--keep-structure",
                                        "--difference", "--skip-existing", "--files-from", "l", "--null", "[a,b]", "a.jpg", "--",
                                        "--odd.jpg"},
                                       {OutputFormat::webp});
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->format, OutputFormat(OutputFormat::webp));
    EXPECT_EQ(std::tuple(parsed->quality, parsed->maxSize, parsed->jobs), std::tuple(0.5, std::optional<std::int64_t>(800), std::optional(3)));
    EXPECT_TRUE(parsed->stripMetadata && parsed->json && parsed->onlySmaller && parsed->keepStructure &&
                parsed->difference && parsed->skipExisting);
    EXPECT_FALSE(parsed->keepDates);
    EXPECT_EQ(parsed->outputFolder, std::filesystem::path("/tmp/o"));
    EXPECT_EQ(parsed->paths, (std::vector<std::filesystem::path>{"[a,b]", "a.jpg", "--odd.jpg"}));
    EXPECT_EQ(std::pair(parsed->filesFrom, parsed->nullSeparated), std::pair(std::vector<std::filesystem::path>{"l"}, true));
    const auto side = parseArguments({"--max-side", "500", "a.jpg"}, {OutputFormat::webp});
    ASSERT_TRUE(side) << side.error();
    EXPECT_EQ(std::pair(side->maxSize, side->limitedSide), std::pair(std::optional<std::int64_t>(500), LimitedSide::longer));
}

// Values as users type them: quality as a fraction or a percentage, sizes
// with decimal and binary units, formats in any case and by their other
// names, short options; the mode each choice leaves.
TEST(CliOptionsTest, ValuesInTheirUsualSpellings) {
    struct Case { std::vector<std::string> args; double quality; QualityMode mode; std::optional<double> target;
                  std::optional<std::int64_t> bytes; OutputFormat format; };
    using enum QualityMode;
    const auto jpeg = OutputFormat::jpeg, webp = OutputFormat::webp;
    for (const auto& c : std::vector<Case>{
             {{"--quality", "auto"}, 0.8, automatic, {}, {}, webp},
             {{"--target=1.2"}, 0.8, automatic, 1.2, {}, webp},
             {{"-q", "80"}, 0.8, fixed, {}, {}, webp},
             {{"-q5", "-f", "JPG"}, 0.05, fixed, {}, {}, jpeg},
             {{"--quality=100", "--format=Jpeg"}, 1.0, fixed, {}, {}, jpeg},
             {{"--quality", "1", "-f", "heif"}, 1.0, fixed, {}, {}, OutputFormat::heic},
             {{"-q", "0.5", "-f", "JpegXL"}, 0.5, fixed, {}, {}, OutputFormat::jxl},
             {{"-q", "62.5%"}, 0.625, fixed, {}, {}, webp},
             {{"--max-bytes", "900"}, 0.8, fileSize, {}, 900, webp},
             {{"--max-bytes", "250k"}, 0.8, fileSize, {}, 250'000, webp},
             {{"--max-bytes=2K"}, 0.8, fileSize, {}, 2'000, webp},
             {{"--max-bytes", "12kB"}, 0.8, fileSize, {}, 12'000, webp},
             {{"--max-bytes", "3KB"}, 0.8, fileSize, {}, 3'000, webp},
             {{"--max-bytes", "200KiB"}, 0.8, fileSize, {}, 204'800, webp},
             {{"--max-bytes=1.5M"}, 0.8, fileSize, {}, 1'500'000, webp},
             {{"--max-bytes", "2MB"}, 0.8, fileSize, {}, 2'000'000, webp},
             {{"--max-bytes", "1MiB"}, 0.8, fileSize, {}, 1'048'576, webp},
             {{"--max-bytes", "200k", "--quality", "auto"}, 0.8, automatic, {}, 200'000, webp}}) {
        std::vector<std::string> all = c.args;
        all.push_back("a.jpg");
        const auto chosen = parseArguments(all, {OutputFormat::heic, jpeg, OutputFormat::jxl, webp});
        ASSERT_TRUE(chosen) << chosen.error();
        EXPECT_EQ(std::tuple(chosen->quality, chosen->qualityMode, chosen->target, chosen->maxBytes,
                             chosen->format.value_or(webp)),
                  std::tuple(c.quality, c.mode, c.target, c.bytes, c.format)) << c.args.front() << " " << c.args.back();
    }
    const auto shortOnes = parseArguments({"-o", "out", "-j", "2", "-V", "-h", "x"}, {webp});
    ASSERT_TRUE(shortOnes) << shortOnes.error();
    EXPECT_EQ(std::tuple(shortOnes->outputFolder, shortOnes->jobs, shortOnes->version, shortOnes->help),
              std::tuple(std::optional<std::filesystem::path>("out"), std::optional(2), true, true));
    // "-" is one image on standard input; "--out -" its output on standard output.
    const auto piped = parseArguments({"-", "--out", "-"}, {webp});
    ASSERT_TRUE(piped) << piped.error();
    EXPECT_EQ(std::tuple(piped->paths, piped->outputFolder, piped->toStandardOutput),
              std::tuple(std::vector<std::filesystem::path>{"-"}, std::optional<std::filesystem::path>(), true));
}

// The help names the format a run without --format writes: the first this system encodes.
TEST(CliOptionsTest, HelpNamesTheDefaultFormatHere) {
    EXPECT_NE(usageText({OutputFormat::avif, OutputFormat::webp}).find("default here: avif"), std::string::npos);
    EXPECT_NE(usageText({OutputFormat::webp}).find("default here: webp"), std::string::npos);
    EXPECT_NE(usageText({}).find("none can be written here"), std::string::npos);
}

TEST(CliOptionsTest, UsageErrorsSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no files"},
        {{"--format", "jpq", "a"}, "unknown format \"jpq\" (heic, jpeg, png, avif, jxl or webp); did you mean jpg?"},
        {{"-f", "WEBPP", "a"}, "did you mean webp?"},
        {{"--format", "gif", "a"}, "unknown format \"gif\" (heic, jpeg, png, avif, jxl or webp)\n"},
        {{"--format", "heif", "a"}, "can't write heif"},  // only JPEG here
        {{"--quality", "0.01", "a"}, "--quality must be auto, from 0.05 to 1.0, or a percentage from 5 to 100"},
        {{"--quality", "1.5", "a"}, "--quality"},  // 1.5 %
        {{"-q", "101", "a"}, "--quality"},
        {{"--quality", "high", "a"}, "--quality"},
        {{"--max-width", "0", "a"}, "--max-width"},
        {{"--max-width", "12px", "a"}, "--max-width"},
        {{"--max-side", "-3", "a"}, "--max-side"},
        {{"--max-width", "800", "--max-height", "600", "a"}, "choose one of"},
        {{"--jobs", "-2", "a"}, "--jobs"},
        {{"--frobnicate", "a"}, "unknown option --frobnicate\n"},
        {{"--qualty", "80", "a"}, "unknown option --qualty; did you mean --quality?"},
        {{"--skip-exisitng", "a"}, "unknown option --skip-exisitng; did you mean --skip-existing?"},
        {{"-quality", "80", "a"}, "unknown option -quality; did you mean --quality?"},
        {{"-help"}, "unknown option -help; did you mean --help?"},
        {{"--strip=yes", "a"}, "takes no value"},
        {{"a", "--out"}, "needs a value"},
        {{"a", "-o"}, "-o needs a value"},
        {{"--keep-structure", "a"}, "--keep-structure needs --out"},
        {{"--target", "0", "a"}, "--target"},
        {{"--max-bytes", "12kb", "a"}, "--max-bytes must be bytes, or with k, kB, M, MB"},
        {{"--max-bytes", "1GiB", "a"}, "--max-bytes"},
        {{"--max-bytes", "-5", "a"}, "--max-bytes"},
        {{"--only-smaller=1", "a"}, "takes no value"},
        {{"--null", "a"}, "--null needs --files-from"},
        {{"--files-from="}, "--files-from needs a file"},
        {{"--frob", "--quality", "7", "a"}, "unknown option --frob\n"},  // the first mistake is told
        {{"-3", "--quality", "7", "a"}, "unknown option -3\n"},
        {{"-hx", "a"}, "unknown option -hx\n"},
        {{"--out=", "a"}, "--out needs a folder"},
        {{"--out", "-", "a.png"}, "--out - (standard output) takes only the image read from standard input"},
        {{"-", "a.png", "--out", "o"}, "- (an image on standard input) must be the only input"},
        {{"-"}, "- (an image on standard input) needs --out"},
    };
    for (const auto& [args, mentions] : cases) {
        const auto parsed = parseArguments(args, {OutputFormat::jpeg});
        ASSERT_FALSE(parsed) << mentions;
        EXPECT_NE((parsed.error() + "\n").find(mentions), std::string::npos) << parsed.error();
    }
}

}  // namespace
}  // namespace krumple::cli
