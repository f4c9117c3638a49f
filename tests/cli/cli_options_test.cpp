// Command-line parsing: what is accepted, and the message for what is not.

#include <gtest/gtest.h>

#include "cli_options.h"

namespace krumple::cli {
namespace {

TEST(CliOptionsTest, EveryOptionInBothSpellings) {
    const auto parsed = parseArguments({"--format", "webp", "--quality=0.5", "--max-width", "800", "--strip",
                                        "--out=/tmp/o", "--jobs", "3", "--json", "--only-smaller", "--keep-structure",
                                        "--difference", "--files-from", "l", "--null", "[a,b]", "a.jpg", "--",
                                        "--odd.jpg"},
                                       {OutputFormat::webp});
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->format, OutputFormat(OutputFormat::webp));
    EXPECT_EQ(std::tuple(parsed->quality, parsed->maxSize, parsed->jobs), std::tuple(0.5, std::optional<std::int64_t>(800), std::optional(3)));
    EXPECT_TRUE(parsed->stripMetadata && parsed->json && parsed->onlySmaller && parsed->keepStructure &&
                parsed->difference);
    EXPECT_FALSE(parsed->keepDates);
    EXPECT_EQ(parsed->outputFolder, std::filesystem::path("/tmp/o"));
    EXPECT_EQ(parsed->paths, (std::vector<std::filesystem::path>{"[a,b]", "a.jpg", "--odd.jpg"}));
    EXPECT_EQ(std::pair(parsed->filesFrom, parsed->nullSeparated), std::pair(std::vector<std::filesystem::path>{"l"}, true));
    // Automatic quality, with or without an explicit target; a size cap with its units.
    const std::vector<std::tuple<std::vector<std::string>, QualityMode, std::optional<double>, std::optional<std::int64_t>>>
        modes{{{"--quality", "auto"}, QualityMode::automatic, std::nullopt, std::nullopt},
              {{"--target=1.2"}, QualityMode::automatic, 1.2, std::nullopt},
              {{"--max-bytes", "250k"}, QualityMode::fileSize, std::nullopt, 250'000},
              {{"--max-bytes=1.5M"}, QualityMode::fileSize, std::nullopt, 1'500'000},
              {{"--max-bytes", "900"}, QualityMode::fileSize, std::nullopt, 900},
              {{"--max-bytes", "200k", "--quality", "auto"}, QualityMode::automatic, std::nullopt, 200'000}};
    for (const auto& [args, mode, target, bytes] : modes) {
        std::vector<std::string> all = args;
        all.push_back("a.jpg");
        const auto chosen = parseArguments(all, {OutputFormat::webp});
        ASSERT_TRUE(chosen) << chosen.error();
        EXPECT_EQ(std::tuple(chosen->qualityMode, chosen->target, chosen->maxBytes), std::tuple(mode, target, bytes))
            << args.front();
    }
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
        {{"--target", "0", "a"}, "--target"},
        {{"--max-bytes", "12kB", "a"}, "--max-bytes"},
        {{"--max-bytes", "-5", "a"}, "--max-bytes"},
        {{"--only-smaller=1", "a"}, "takes no value"},
        {{"--null", "a"}, "--null needs --files-from"},
        {{"--files-from="}, "--files-from needs a file"},
        {{"--frob", "--quality", "7", "a"}, "unknown option --frob"},  // the first mistake is told
        {{"-3", "--quality", "7", "a"}, "unknown option -3"},
        {{"-hx", "a"}, "unknown option -hx"},
        {{"--out=", "a"}, "--out needs a folder"},
    };
    for (const auto& [args, mentions] : cases) {
        const auto parsed = parseArguments(args, {OutputFormat::jpeg});
        ASSERT_FALSE(parsed) << mentions;
        EXPECT_NE(parsed.error().find(mentions), std::string::npos) << parsed.error();
    }
}

}  // namespace
}  // namespace krumple::cli
