// Command-line parsing: what is accepted, and the message for what is not.

#include <gtest/gtest.h>

#include "cli_options.h"

namespace krumple::cli {
namespace {

const std::vector<OutputFormat> allFormats{OutputFormat::heic, OutputFormat::jpeg, OutputFormat::png,
                                           OutputFormat::avif, OutputFormat::jxl,  OutputFormat::webp};

TEST(CliOptionsTest, EveryOptionInBothSpellings) {
    const auto parsed = parseArguments({"--format", "webp", "--quality=0.5", "--max-width", "800", "--strip",
                                        "--out=/tmp/o", "--jobs", "3", "--json", "a.jpg", "--", "--odd.jpg"},
                                       allFormats);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->format, OutputFormat(OutputFormat::webp));
    EXPECT_EQ(parsed->quality, 0.5);
    EXPECT_EQ(parsed->maxWidth, 800);
    EXPECT_TRUE(parsed->stripMetadata);
    EXPECT_EQ(parsed->outputFolder, std::filesystem::path("/tmp/o"));
    EXPECT_EQ(parsed->jobs, 3);
    EXPECT_TRUE(parsed->json);
    EXPECT_EQ(parsed->paths, (std::vector<std::filesystem::path>{"a.jpg", "--odd.jpg"}));
}

TEST(CliOptionsTest, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::vector<Case> cases{
        {{}, "no files"},
        {{"--format", "jpg", "a"}, "unknown format"},
        {{"--format", "gif", "a"}, "unknown format"},
        {{"--quality", "0.01", "a"}, "--quality"},
        {{"--quality", "1.5", "a"}, "--quality"},
        {{"--quality", "high", "a"}, "--quality"},
        {{"--max-width", "0", "a"}, "--max-width"},
        {{"--max-width", "12px", "a"}, "--max-width"},
        {{"--jobs", "-2", "a"}, "--jobs"},
        {{"--frobnicate", "a"}, "unknown option --frobnicate"},
        {{"--strip=yes", "a"}, "takes no value"},
        {{"a", "--out"}, "needs a value"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.args, allFormats);
        ASSERT_FALSE(parsed) << c.mentions;
        EXPECT_NE(parsed.error().find(c.mentions), std::string::npos) << parsed.error();
    }
}

TEST(CliOptionsTest, AFormatTheSystemCannotWriteIsRefused) {
    const auto parsed = parseArguments({"--format", "heic", "a"}, {OutputFormat::jpeg});
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.error().find("can't write heic"), std::string::npos) << parsed.error();
}

}  // namespace
}  // namespace krumple::cli
