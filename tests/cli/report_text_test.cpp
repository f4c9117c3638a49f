// The texts the command line prints.

#include <gtest/gtest.h>

#include "fmt.h"
#include "report_text.h"

namespace krumple::cli {
namespace {

ImageItem itemOf(const std::string& path, std::int64_t size, ItemStatus status, std::optional<std::int64_t> output = {}) {
    ImageItem item{ItemId::random(), path, size, std::move(status), std::nullopt, output};
    if (output) item.outputURL = std::filesystem::path(path).replace_extension(".heic");
    return item;
}

ImageItem keptOf(const std::string& path, std::int64_t size, std::int64_t rejected) {
    ImageItem item = itemOf(path, size, ItemStatus::done, size);
    item.outputURL = path;
    item.rejectedOutputSize = rejected;
    return item;
}

// Every item is counted: converted, failed (paths that never became items
// too), or not started (waiting, or stopped by Cancel before it began).
TEST(ReportTextTest, TotalsCountEveryItem) {
    EXPECT_EQ(totalsLines({}), std::vector<std::string>{"No files"});
    const std::vector<ImageItem> none{itemOf("a", 1000, ItemStatus::pending),
                                      itemOf("b", 2000, ItemStatus::failure(ConvertError::cancelled))};
    EXPECT_EQ(totalsLines(none, 1), std::vector<std::string>{"0 of 3 converted, 1 failed, 2 not started"});

    // The saving compares the converted files with their own sources only.
    const std::vector<ImageItem> some{itemOf("a", 3000, ItemStatus::done, 1000), itemOf("b", 5000, ItemStatus::pending),
                                      itemOf("c", 7000, ItemStatus::failure(Failure{}))};
    EXPECT_EQ(totalsLines(some), (std::vector<std::string>{"Total: " + Fmt::savings(3000, 1000),
                                                           "1 of 3 converted, 1 failed, 1 not started"}));
    // A kept original counts its own size on both sides.
    const std::vector<ImageItem> kept{itemOf("a", 3000, ItemStatus::done, 1000), keptOf("b", 500, 900),
                                      keptOf("c", 100, 200)};
    EXPECT_EQ(totalsLines(kept), (std::vector<std::string>{"Total: " + Fmt::savings(3600, 1600),
                                                           "1 of 3 converted \u00B7 2 originals kept"}));
    // Skipped items count too; in ASCII the separator and arrow are spelled out.
    EXPECT_EQ(totalsLines(kept, 1, 2, true), (std::vector<std::string>{"Total: 3.6 kB -> 1.6 kB (-56%)",
                                                                       "1 of 6 converted, 1 failed, 2 skipped | 2 originals kept"}));
    EXPECT_EQ(totalsLines({}, 0, 2), std::vector<std::string>{"0 of 2 converted, 2 skipped"});
}

// The output is named unless it is the source's name with the new extension, beside it.
TEST(ReportTextTest, LinesNameOutputsPutElsewhere) {
    const auto cwd = std::filesystem::current_path();
    for (const auto& [source, output, told] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"p/a.png", "p/a.heic", "p/a.png: "},
             {"a", "a.heic", "a: "},
             {"p/a.png", "p/a krumpled.heic", "p/a.png \u2192 p/a krumpled.heic: "},
             {"p/a.png", (cwd / "out/p/a.heic").native(), "p/a.png \u2192 out/p/a.heic: "},
             {"p/a.png", "/elsewhere/a.heic", "p/a.png \u2192 /elsewhere/a.heic: "}}) {
        ImageItem item = itemOf(source, 3000, ItemStatus::done, 1000);
        item.outputURL = output;
        EXPECT_EQ(resultLine(item), told + Fmt::savings(3000, 1000));
    }
    ImageItem kept = keptOf("p/k.png", 1000, 1125);
    kept.outputURL = cwd / "o/k.png";
    EXPECT_EQ(resultLine(kept, true), "p/k.png -> o/k.png: Original kept (output was 13% larger)");
    EXPECT_EQ(skippedLine(kept, cwd / "o/k.heic"), "p/k.png: skipped (o/k.heic exists)");
    EXPECT_EQ(skippedJson(kept, "/o/k.heic"), "{\"source\":\"p/k.png\",\"output\":\"/o/k.heic\",\"status\":\"skipped\"}");
}

// Under a locale that isn't UTF-8 every character of ours is spelled in
// ASCII; the names, the user's own bytes, are not touched.
TEST(ReportTextTest, AsciiForPlainTerminals) {
    for (const auto& [text, ascii] : std::vector<std::pair<std::string, std::string>>{
             {"2.4\u00A0MB \u2192 800\u202Fk", "2.4 MB -> 800 k"},
             {"a \u00B7 b\u2026 3\u00D74 \u2212 \u201Cq\u201D \u2018s\u2019", "a | b... 3x4 - \"q\" 's'"},
             {"caf\u00E9 \U0001F600!", "caf? ?!"},
             {"cut \xE2\x86", "cut ?"}})
        EXPECT_EQ(asciiOnly(text), ascii) << text;
    ImageItem named = itemOf("caf\u00E9/\u00E9.png", 3'000'000, ItemStatus::done, 1'000'000);
    named.chosenQuality = 0.5;
    EXPECT_EQ(resultLine(named, true), "caf\u00E9/\u00E9.png: 3.0 MB -> 1.0 MB (-67%) | quality 50%");
    EXPECT_EQ(resultLine(itemOf("\u00E9", 1, ItemStatus::failure(Failure{})), true), "\u00E9: Failed");
}

TEST(ReportTextTest, OneLinePerResult) {
    EXPECT_EQ(resultLine(itemOf("p/a.jpg", 3000, ItemStatus::done, 1000)), "p/a.jpg: " + Fmt::savings(3000, 1000));
    // A kept original: how much larger the output was, rounded; under half a percent is "no smaller".
    EXPECT_EQ(resultLine(keptOf("k.png", 1000, 1125)), "k.png: Original kept (output was 13% larger)");
    EXPECT_EQ(resultLine(keptOf("k.png", 1000, 1004)), "k.png: Original kept (output was no smaller)");
    EXPECT_EQ(resultLine(keptOf("k.png", 1000, 1000)), "k.png: Original kept (output was no smaller)");
    ImageItem animation = keptOf("a.gif", 1000, 200);
    animation.sourceFrames = 3;
    EXPECT_EQ(resultLine(animation), "a.gif: Original kept (an animation: the output holds one frame)");
    ImageItem searched = itemOf("s.jpg", 3000, ItemStatus::done, 1000);
    searched.chosenQuality = 0.62;
    searched.distance = 1.4137;
    EXPECT_EQ(resultLine(searched), "s.jpg: " + Fmt::savings(3000, 1000) + " \u00B7 quality 62%, distance 1.414");
    const std::string json = resultJson(searched);
    EXPECT_NE(json.find(",\"quality\":0.62,\"distance\":1.414,"), std::string::npos) << json;
    // The measured difference follows, its words judged on the figure shown.
    searched.difference = 0.96;
    EXPECT_EQ(resultLine(searched), "s.jpg: " + Fmt::savings(3000, 1000) +
                                              " \u00B7 quality 62%, distance 1.414 \u00B7 nearly identical \u00B7 1.0");
    searched.difference = 2.5;
    EXPECT_NE(resultJson(searched).find(",\"difference\":2.5,"), std::string::npos);
    searched.difference = 2.0004;
    EXPECT_NE(resultJson(searched).find(",\"difference\":2,"), std::string::npos);  // as the text rounds it
    for (const auto& [d, words] : std::vector<std::pair<double, std::string>>{
             {0.0, "looks identical"}, {0.94, "looks identical"}, {1.96, "small differences"},
             {4.9, "visible differences"}, {5.0, "large differences"}})
        EXPECT_EQ(Fmt::distanceWords(d), words) << d;
    EXPECT_EQ(resultLine(itemOf("p/b.jpg", 3000, ItemStatus::failure(ConvertError::decodeFailed))),
              "p/b.jpg: Couldn't decode the image");
    // What was kept of an animation, or of a JPEG carried into JPEG XL.
    ImageItem still = itemOf("a.gif", 3000, ItemStatus::done, 1000);
    still.sourceFrames = 3;
    still.rebuildsJpeg = false;
    EXPECT_EQ(resultLine(still), "a.gif: " + Fmt::savings(3000, 1000) + " \u00B7 JPEG not restorable \u00B7 first frame of 3");
    EXPECT_NE(resultJson(still).find(",\"reconstructible\":false,\"frames\":3,\"firstFrameOnly\":true,"), std::string::npos);
    still.frames = 3;
    EXPECT_EQ(resultLine(still).substr(resultLine(still).rfind(" \u00B7 ")), " \u00B7 3 frames");
}

TEST(ReportTextTest, JsonIsValidEvenForOddNames) {
    const std::string done = resultJson(itemOf("a.jpg", 3000, ItemStatus::done, 1000));
    for (const char* field : {"\"status\":\"done\"", "\"outputSize\":1000", "\"output\":\"a.heic\""})
        EXPECT_NE(done.find(field), std::string::npos) << done;
    EXPECT_EQ(resultJson(keptOf("k.png", 1000, 1125)),
              "{\"source\":\"k.png\",\"output\":\"k.png\",\"status\":\"kept\",\"originalSize\":1000,"
              "\"outputSize\":1000,\"rejectedSize\":1125,\"percent\":\"0%\",\"savings\":\"" +
                  Fmt::savings(1000, 1000) + "\"}");
    // Escaped, and U+FFFD for a byte that isn't UTF-8: JSON can't carry it.
    const std::string failed = resultJson(itemOf("a\"b\\c\n\x01" "caf\xC3\xA9 caf\xE9.jpg", 1, ItemStatus::failure(Failure{})));
    EXPECT_EQ(failed, "{\"source\":\"a\\\"b\\\\c\\n\\u0001"
                      "caf\xC3\xA9 caf\uFFFD.jpg\",\"status\":\"failed\",\"error\":\"Failed\"}");
    EXPECT_EQ(resultJson(itemOf("s", 1, ItemStatus::failure(ConvertError::cancelled))), "{\"source\":\"s\",\"status\":\"not started\"}");
}

TEST(ReportTextTest, ProgressBarFillsByShareAndSurvivesAnEmptyBatch) {
    EXPECT_EQ(progressBar(1, 4, 8), "[##------] 1/4");
    EXPECT_EQ(progressBar(4, 4, 8), "[########] 4/4");
    EXPECT_EQ(progressBar(0, 0, 4), "[----] 0/0");
}

}  // namespace
}  // namespace krumple::cli
