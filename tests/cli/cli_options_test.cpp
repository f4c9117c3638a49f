// Command-line parsing: what is accepted, and the message for what is not.

#include <gtest/gtest.h>

#include "cli_options.h"

namespace krumple::cli {
namespace {

TEST(CliOptionsTest, EveryOptionInBothSpellings) {
    const auto parsed = parseArguments({"--format", "webp", "--quality=0.5", "--max-width", "800", "--strip",
                                        "--out=/tmp/o", "--jobs", "3", "--json", "--only-smaller", "--keep-structure",
                                        "a.jpg", "--", "--odd.jpg"},
                                       {OutputFormat::webp});
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->format, OutputFormat(OutputFormat::webp));
    EXPECT_EQ(std::tuple(parsed->quality, parsed->maxSize, parsed->jobs), std::tuple(0.5, std::optional<std::int64_t>(800), std::optional(3)));
    EXPECT_TRUE(parsed->stripMetadata && parsed->json && parsed->onlySmaller && parsed->keepStructure);
    EXPECT_FALSE(parsed->keepDates);
    EXPECT_EQ(parsed->outputFolder, std::filesystem::path("/tmp/o"));
    EXPECT_EQ(parsed->paths, (std::vector<std::filesystem::path>{"a.jpg", "--odd.jpg"}));
    const auto side = parseArguments({"--max-side", "500", "a.jpg"}, {OutputFormat::webp});
    ASSERT_TRUE(side) << side.error();
    EXPECT_EQ(std::pair(side->maxSize, side->limitedSide), std::pair(std::optional<std::int64_t>(500), LimitedSide::longer));
}

TEST(CliOptionsTest, UsageErrorsSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no files"},
        {{"--format", "jpg", "a"}, "unknown format"},
        {{"--format", "heic", "a"}, "can't write heic"},  // only JPEG here
        {{"--quality", "0.01", "a"}, "--quality"},
        {{"--quality", "1.5", "a"}, "--quality"},
        {{"--quality", "high", "a"}, "--quality"},
        {{"--max-width", "0", "a"}, "--max-width"},
        {{"--max-width", "12px", "a"}, "--max-width"},
        {{"--max-side", "-3", "a"}, "--max-side"},
        {{"--max-width", "800", "--max-height", "600", "a"}, "choose one of"},
        {{"--jobs", "-2", "a"}, "--jobs"},
        {{"--frobnicate", "a"}, "unknown option --frobnicate"},
        {{"--strip=yes", "a"}, "takes no value"},
        {{"a", "--out"}, "needs a value"},
        {{"--keep-structure", "a"}, "--keep-structure needs --out"},
        {{"--only-smaller=1", "a"}, "takes no value"},
    };
    for (const auto& [args, mentions] : cases) {
        const auto parsed = parseArguments(args, {OutputFormat::jpeg});
        ASSERT_FALSE(parsed) << mentions;
        EXPECT_NE(parsed.error().find(mentions), std::string::npos) << parsed.error();
    }
}

}  // namespace
}  // namespace krumple::cli
