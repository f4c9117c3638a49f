// Hostile input: every file is converted whole or refused with its fixed
// text, memory stays bounded, and the good files in the same batch convert.

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "child_process.h"
#include "fmt.h"
#include "forged_headers.h"
#include "harness.h"

namespace krumple::test {
namespace {

using HostileInput = Batch;

// Runs the command line under an address-space cap (none under the
// sanitizers, which reserve far more); as `nobody` when asked.
RunResult runCliLimited(Strings args, const fs::path& folder, bool asNobody = false,
                        const std::string& cap = "4294967296") {
    Strings prefix;
#ifndef KRUMPLE_SANITIZED
    // An address-space cap turns a runaway allocation into a failed one.
    prefix = {"/usr/bin/prlimit", "--as=" + cap, "--"};
#else
    (void)cap;
#endif
    if (asNobody) prefix.insert(prefix.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    prefix.push_back(KRUMPLE_CLI_PATH);
    args.insert(args.begin(), prefix.begin() + 1, prefix.end());
    ChildProcess child(prefix.front(), args, folder.string());
    return {child.wait(), child.out, child.err};  // in order: the streams are read by then
}

struct HostileFile {
    fs::path path;
    Strings allowed;  // the refusal texts allowed; none for pictures that must convert
    int width = 0, height = 0;  // upright size a converted output must have
};

const Strings unreadable{"Can't read this image"};
const Strings refused{"Can't read this image", "Couldn't decode the image"};

// Real files of every readable kind, damaged: empty, cut short, random,
// a signature then noise, lying about their size; and valid but unusual ones.
std::vector<HostileFile> makeHostileFiles(const fs::path& folder) {
    std::vector<HostileFile> files;
    fs::create_directories(folder);
    std::mt19937 random(7);
    const auto randomBytes = [&](std::size_t n) {
        std::string b(n, '\0');
        std::ranges::generate(b, [&] { return static_cast<char>(random() & 0xFF); });
        return b;
    };
    const auto add = [&](const std::string& name, const std::string& bytes, const Strings& allowed) {
        writeText(folder / name, bytes);
        files.push_back({folder / name, allowed});
    };
    const auto save = [&](const std::string& name, const vips::VImage& image, const std::string& options = "") {
        image.write_to_file(((folder / name).string() + options).c_str());
        files.push_back({folder / name, {}, image.width(), image.height()});
        return readFile(folder / name);
    };
    using Forge = std::string (*)(std::string);
    struct Kind { std::string ext, options; Forge forge; };
    const Kind kinds[] = {
        {"jpg", "[Q=85]", [](std::string b) { return jpegClaiming(std::move(b), 0xFFFF, 0xFFFF); }},
        {"png", "", [](std::string b) { return pngClaiming(std::move(b), 0x7FFFFFFF, 0x7FFFFFFF); }},
        {"webp", "[Q=80]", [](std::string b) { return webpClaiming(std::move(b), 16383, 16383); }},
        {"heic", "[Q=50]", [](std::string b) { return heicClaiming(std::move(b), 0x7FFFFFFF, 0x7FFFFFFF); }},
        {"tif", "", [](std::string b) { return tiffClaiming(std::move(b), 0x7FFFFFFF, 0x7FFFFFFF); }},
        {"avif", "[Q=50]", [](std::string b) { return heicClaiming(std::move(b), 0x7FFFFFFF, 0x7FFFFFFF); }},
        {"jxl", "[Q=80]", nullptr}};
    const vips::VImage base = noise(256, 192);
    for (const auto& [ext, options, forge] : kinds) {
        const auto name = [&ext](const std::string& what) { return what + "-" + ext + "." + ext; };
        const std::string bytes = save(name("whole"), base, options);
        add(name("empty"), "", unreadable);
        for (const std::size_t percent : {10u, 50u, 90u})
            add(name("cut" + std::to_string(percent)), bytes.substr(0, bytes.size() * percent / 100), refused);
        add(name("random"), randomBytes(4096), unreadable);
        add(name("noise"), bytes.substr(0, 16) + randomBytes(4096), refused);
        if (forge) add(name("huge"), forge(bytes), refused);
    }
    // Drawn by ImageMagick, it would come out as the picture it names.
    add("points-at-whole.svg", "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='256' "
        "height='192'><image xlink:href='" + (folder / "whole-png.png").native() + "' width='256' height='192'/></svg>", unreadable);
    const vips::VImage deep = base.cast(VIPS_FORMAT_USHORT) * 257;
    save("deep16-png.png", deep);
    save("deep16-tif.tif", deep.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)));
    save("cmyk.jpg", base.bandjoin(base[0]).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK)));
    save("gray.jpg", base[1]);
    save("palette.png", base, "[palette,colours=16]");
    save("alpha.png", base.bandjoin(base[0]));
    save("gray-alpha.png", base[1].bandjoin(base[0]));
    return files;
}

TEST_F(HostileInput, DamagedForgedAndUnusualFilesInOneBatch) {
    const std::vector<HostileFile> files = makeHostileFiles(src);
    const FolderSnapshot before(src);
    tally("inputs", static_cast<std::int64_t>(files.size()));

    Strings args{"--format", "webp", "--out", out.string()};
    for (const auto& f : files) args.push_back(f.path.string());
    const RunResult run = runCliLimited(args, dir.path());
    EXPECT_EQ(run.status, 1) << "some files fail, none crashes\n" << run.err.substr(0, 2000);
    std::map<std::string, std::string> said;  // from "source: outcome" lines
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (const auto colon = line.find(": "); colon != std::string::npos) said[line.substr(0, colon)] = line.substr(colon + 2);

    std::vector<fs::path> outputs;
    for (const auto& f : files) {
        SCOPED_TRACE(f.path.filename().string() + " ended as \"" + said[f.path.string()] + "\"");
        if (!f.allowed.empty()) {
            EXPECT_NE(std::ranges::find(f.allowed, said[f.path.string()]), f.allowed.end());
            continue;
        }
        outputs.push_back(out / f.path.filename().replace_extension(".webp"));
        ASSERT_TRUE(fs::exists(outputs.back()));
        const vips::VImage image = vips::VImage::new_from_file(outputs.back().c_str());
        EXPECT_EQ(std::pair(image.width(), image.height()), std::pair(f.width, f.height));
    }
    expectExactly(out, outputs);
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

bool validUtf8(const std::string& s) { return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr); }

TEST_F(HostileInput, AwkwardNamesDeepLoopedAndCrowdedFolders) {
    const std::string longName(251, 'n');
    std::string longUtf8 = "n";
    for (int i = 0; i < 125; ++i) longUtf8 += "\xc3\xa9";  // é, the last one across the cut: it must not split
    const Strings names{"bad\xff\xfe name.png", "two\nlines.png", longName + ".png", longName.substr(1) + "m.png",
                        longUtf8 + ".png"};
    for (const auto& name : names) makePng(dir / "names" / name);
    fs::path deep = dir / "deep";
    for (int level = 0; level < 50; ++level) deep /= "d" + std::to_string(level);
    makePng(deep / "bottom.png");
    makePng(dir / "loop" / "inner" / "once.png");
    fs::create_directory_symlink("..", dir / "loop" / "inner" / "up");
    fs::create_directory_symlink(dir / "loop", dir / "loop" / "inner" / "again");
    // A crowd: one small picture under 10,000 names.
    makePng(dir / "crowd" / "c0.png", 8, 8);
    const std::string one = readFile(dir / "crowd" / "c0.png");
    for (int i = 1; i < 10000; ++i) writeText(dir / "crowd" / ("c" + std::to_string(i) + ".png"), one);
    const FolderSnapshot before(dir.path());
    const std::size_t count = names.size() + 10002;
    tally("inputs", static_cast<std::int64_t>(count));

    ASSERT_EQ(addAndWait({dir / "names", dir / "deep", dir / "loop", dir / "crowd"}), count);
    EXPECT_EQ(at(5).url.filename(), "bottom.png");
    EXPECT_EQ(at(6).url.filename(), "once.png");
    // Natural order: c2 before c10.
    for (std::size_t i = 0; i < 10000; ++i) EXPECT_EQ(at(7 + i).url.filename(), "c" + std::to_string(i) + ".png");
    store->setFormat(OutputFormat::webp);  // a longer extension than the sources'
    store->startConversion();
    finishBatch();
    for (const auto& it : store->items()) {
        ASSERT_EQ(it.status.kind(), ItemStatus::done) << it.url << ": " << Fmt::failureText(it.status.reason());
        const fs::path output = it.outputURL.value();
        EXPECT_EQ(output.parent_path(), it.url.parent_path()) << it.url;
        EXPECT_EQ(output.extension(), ".webp") << it.url;
        EXPECT_LE(output.filename().native().size(), 255u) << it.url;
        EXPECT_TRUE(!validUtf8(it.url.filename().native()) || validUtf8(output.filename().native())) << it.url;
    }
    // The two long names shorten to one stem: the second takes a suffixed name.
    EXPECT_EQ(filesUnder(dir.path()).size(), 2 * count);
    EXPECT_EQ(brokenFiles(outputs()), std::vector<fs::path>{});
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

#ifndef KRUMPLE_SANITIZED
// Four 8 MP pictures to JPEG XL need about 3 GB at once: under a 1.5 GB cap
// with four jobs, they take turns, and every one converts.
TEST_F(HostileInput, LargePicturesUnderAMemoryCapAllConvert) {
    std::vector<fs::path> expected;
    for (int i = 0; i < 4; ++i) {
        makeJpeg(dir / "large" / ("big" + std::to_string(i) + ".jpg"), 3464, 2309);
        expected.push_back(out / ("big" + std::to_string(i) + ".jxl"));
    }
    tally("inputs", 4);
    const RunResult run = runCliLimited({"--jobs", "4", "--format", "jxl", "--out", out.string(), (dir / "large").string()},
                                        dir.path(), false, std::to_string(std::int64_t{1536} << 20));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    expectExactly(out, expected);
    EXPECT_EQ(brokenFiles(expected), std::vector<fs::path>{});
}
#endif

TEST_F(HostileInput, FilesWithoutReadPermission) {
    // Root reads everything: the command line then runs as nobody.
    const bool root = ::geteuid() == 0;
    fs::permissions(dir.path(), fs::perms::all);
    if (root && runCliLimited({"--version"}, dir.path(), true).status != 0)
        GTEST_SKIP() << "the command line can't run as nobody from this build folder";
    const fs::path in = dir / "in";
    makePng(in / "readable.png");
    makePng(in / "locked.png");
    makePng(in / "closed" / "inside.png");
    const FolderSnapshot before(in);
    fs::permissions(in / "locked.png", fs::perms::none);
    fs::permissions(in / "closed", fs::perms::none);
    tally("inputs", 3);

    const RunResult run = runCliLimited(
        {"--format", "jpeg", "--out", out.string(), (in / "locked.png").string(), in.string()}, dir.path(), root);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find((in / "locked.png").string() + ": Can't read this image"), std::string::npos) << run.out;
    expectExactly(out, {out / "readable.jpg"});
    fs::permissions(in / "closed", fs::perms::owner_all);
    fs::permissions(in / "locked.png", fs::perms::owner_read);
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

}  // namespace
}  // namespace krumple::test
