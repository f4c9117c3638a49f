// krumple-cli run as a program on a temporary folder.

#include <signal.h>

#include <sstream>

#include "child_process.h"
#include "image_io.h"
#include "test_support.h"

namespace krumple::test {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(e.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

bool decodes(const fs::path& file) {
    const auto source = ImageSource::open(file);
    return source && source->decodesCleanly();
}

vips::VImage noise(int size) {
    ensureImageLibrary();
    const auto band = [size] { return vips::VImage::gaussnoise(size, size).cast(VIPS_FORMAT_UCHAR); };
    return vips::VImage::bandjoin({band(), band(), band()})
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

class CliTest : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args) { return runCli(args, dir.path().native()); }
    TempDir dir;
};

TEST_F(CliTest, ConvertsAFolderNextToTheOriginals) {
    makePng(dir / "p/a.png");
    makeJpeg(dir / "p/sub/b.jpg");
    const auto r = run({"--format", "jpeg", "p"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "p"), (std::vector<std::string>{"a.jpg", "a.png"}));
    EXPECT_EQ(namesIn(dir / "p/sub"), (std::vector<std::string>{"b krumpled.jpg", "b.jpg"}));
    EXPECT_TRUE(decodes(dir / "p/a.jpg"));

    auto out = lines(r.out);
    ASSERT_EQ(out.size(), 4u) << r.out;
    std::sort(out.begin(), out.begin() + 2);  // results come in completion order
    EXPECT_TRUE(out[0].starts_with("p/a.png: ")) << out[0];
    EXPECT_NE(out[0].find(" \u2192 "), std::string::npos) << out[0];
    EXPECT_TRUE(out[1].starts_with("p/sub/b.jpg: ")) << out[1];
    EXPECT_TRUE(out[2].starts_with("Total: ")) << out[2];
    EXPECT_EQ(out[3], "2 of 2 converted");
    EXPECT_EQ(r.err.find("\033["), std::string::npos);  // no progress bar off a terminal
}

TEST_F(CliTest, JsonIntoAFolder) {
    makePng(dir / "p/a.png");
    makePng(dir / "q/a.png");
    const auto r = run({"--json", "--format=png", "--max-width", "8", "--out", "out", "p", "q"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "out"), (std::vector<std::string>{"a krumpled.png", "a.png"}));
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u) << r.out;  // results only: no totals
    for (const auto& line : out) {
        EXPECT_TRUE(line.starts_with("{\"source\":") && line.ends_with("}")) << line;
        EXPECT_NE(line.find("\"status\":\"done\""), std::string::npos) << line;
    }
    const auto source = ImageSource::open(dir / "out/a.png");
    ASSERT_TRUE(source);
    EXPECT_EQ(numberAt(source->properties(), prop::pixelWidth), 16.0);  // 8 is raised to 16
}

TEST_F(CliTest, AnyFailureMeansStatusOneAndTheRestStillConverts) {
    fs::create_directories(dir / "p");
    noise(64).jpegsave((dir / "p/good.jpg").c_str());
    const std::string whole = readFile(dir / "p/good.jpg");
    writeText(dir / "p/cut.jpg", whole.substr(0, whole.size() / 2));
    writeText(dir / "notes.jpg", "not a picture");
    const auto r = run({"--format", "webp", "p", "notes.jpg"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(fs::exists(dir / "p/good.webp"));
    EXPECT_FALSE(fs::exists(dir / "p/cut.webp"));
    EXPECT_NE(r.out.find("notes.jpg: Can't read this image"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("p/cut.jpg: Couldn't decode the image"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 of 2 converted"), std::string::npos) << r.out;
}

TEST_F(CliTest, UsageErrorsConvertNothing) {
    makePng(dir / "p/a.png");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--quality", "7", "p"}, {"--bogus", "p"}, {"p", "missing.png"}, {}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_TRUE(r.err.starts_with("krumple-cli: ")) << r.err;
        EXPECT_EQ(namesIn(dir / "p"), std::vector<std::string>{"a.png"});
    }
    writeText(dir / "file", "x");
    const auto r = run({"--out", "file", "p"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a folder"), std::string::npos) << r.err;
}

TEST_F(CliTest, InformationalOptions) {
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--max-width"), std::string::npos);
    const auto version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("krumple-cli ")) << version.out;
    const auto formats = run({"--list-formats"});
    EXPECT_EQ(formats.status, 0);
    for (const auto f : OutputFormat::available())
        EXPECT_NE(formats.out.find(std::string(f.rawValue())), std::string::npos) << f.rawValue();
}

TEST_F(CliTest, AFolderWithoutImagesIsNotAnError) {
    writeText(dir / "p/readme.txt", "hello");
    const auto r = run({"p"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("No images found"), std::string::npos) << r.err;
}

TEST_F(CliTest, InterruptCancelsAndLeavesOnlyWholeFiles) {
    constexpr int count = 12;
    fs::create_directories(dir / "p");
    for (int i = 0; i < count; ++i) noise(600).pngsave((dir / ("n" + std::to_string(i) + ".png")).c_str());
    for (int i = 0; i < count; ++i) fs::rename(dir / ("n" + std::to_string(i) + ".png"), dir / "p" / ("n" + std::to_string(i) + ".png"));

    ChildProcess child(KRUMPLE_CLI_PATH, {"--jobs", "1", "--format", "webp", "p"}, dir.path().native());
    const std::string first = child.readLine();
    EXPECT_NE(first.find(" \u2192 "), std::string::npos) << first;
    child.signal(SIGINT);
    EXPECT_EQ(child.wait(), 1) << child.err;
    EXPECT_NE(child.err.find("Cancelling"), std::string::npos) << child.err;

    std::size_t outputs = 0;
    for (const auto& e : fs::directory_iterator(dir / "p")) {
        const std::string name = e.path().filename().native();
        EXPECT_NE(name.front(), '.') << "temporary file left: " << name;
        if (e.path().extension() == ".webp") {
            ++outputs;
            EXPECT_TRUE(decodes(e.path())) << name;
        }
    }
    EXPECT_GE(outputs, 1u);
    EXPECT_LT(outputs, static_cast<std::size_t>(count));
    EXPECT_NE(child.out.find("of 12 converted"), std::string::npos) << child.out;
}

}  // namespace
}  // namespace krumple::test
