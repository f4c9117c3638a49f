// Hostile input: every file is converted whole or refused with its fixed
// text, memory stays bounded, and the good files in the same batch convert.

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <vips/vips8>

#include "child_process.h"
#include "harness.h"
#include "hostile_files.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using Strings = std::vector<std::string>;

// One string field of a JSON result line, unescaped; nullopt when absent.
std::optional<std::string> jsonField(const std::string& line, const std::string& key) {
    const std::string open = "\"" + key + "\":\"";
    auto at = line.find(open);
    if (at == std::string::npos) return std::nullopt;
    std::string value;
    for (at += open.size(); at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size()) ++at;
        value += line[at];
    }
    return value;
}

// Runs the command line; as `nobody` when asked and running as root.
RunResult runCliLimited(const Strings& args, const fs::path& folder, bool asNobody = false) {
    Strings wrapped;
    std::string program = KRUMPLE_CLI_PATH;
#ifndef KRUMPLE_SANITIZED
    // An address-space cap turns a runaway allocation into a failed one.
    wrapped = {"--as=4294967296", "--", program};
    program = "/usr/bin/prlimit";
#endif
    if (asNobody) {
        Strings user{"--reuid=65534", "--regid=65534", "--clear-groups", wrapped.empty() ? program : "/usr/bin/prlimit"};
        user.insert(user.end(), wrapped.begin(), wrapped.end());
        wrapped = std::move(user);
        program = "/usr/bin/setpriv";
    }
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    ChildProcess child(program, wrapped, folder.string());
    const int status = child.wait();
    return {status, child.out, child.err};
}

TEST(HostileInput, DamagedForgedAndUnusualFilesInOneBatch) {
    TempDir dir;
    const std::vector<HostileFile> files = makeHostileFiles(dir / "in", 7);
    const FolderSnapshot before(dir / "in");
    tally("inputs", static_cast<std::int64_t>(files.size()));

    Strings args{"--json", "--format", "webp", "--out", (dir / "out").string()};
    for (const auto& f : files) args.push_back(f.path.string());
    fs::create_directories(dir / "out");
    const RunResult run = runCliLimited(args, dir.path());
    EXPECT_EQ(run.status, 1) << "some files fail, none crashes\n" << run.err.substr(0, 2000);

    std::map<std::string, std::string> outcome, output;
    for (std::size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = run.out.substr(at, end - at);
        const auto source = jsonField(line, "source");
        if (!source) continue;
        outcome[*source] = jsonField(line, "error").value_or(jsonField(line, "status").value_or("?"));
        if (const auto out = jsonField(line, "output")) output[*source] = *out;
    }
    std::vector<fs::path> outputs;
    for (const auto& f : files) {
        const std::string& got = outcome[f.path.string()];
        EXPECT_NE(std::find(f.allowed.begin(), f.allowed.end(), got), f.allowed.end())
            << f.path.filename() << " ended as \"" << got << "\"";
        if (got != "done") continue;
        outputs.emplace_back(output[f.path.string()]);
        const vips::VImage image = vips::VImage::new_from_file(outputs.back().c_str());
        EXPECT_EQ(std::pair(image.width(), image.height()), std::pair(f.width, f.height)) << f.path.filename();
    }
    EXPECT_EQ(brokenFiles(outputs), std::vector<fs::path>{});
    EXPECT_EQ(filesUnder(dir / "out").size(), outputs.size());
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

bool validUtf8(const std::string& s) { return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr); }

TEST_F(StoreTest, AwkwardNamesConvertNextToTheirSources) {
    const std::string longName(251, 'n');
    std::string longUtf8;
    for (int i = 0; i < 125; ++i) longUtf8 += "\xc3\xa9";  // é: a cut must not split it
    const Strings names{"bad\xff\xfe name.png", "two\nlines.png", longName + ".png", longName.substr(1) + "m.png",
                        longUtf8 + ".png"};
    for (const auto& name : names) makePng(dir / "in" / name);
    const FolderSnapshot before(dir / "in");
    tally("inputs", static_cast<std::int64_t>(names.size()));

    ASSERT_EQ(addAndWait({dir / "in"}), names.size());
    store->setFormat(OutputFormat::webp);  // a longer extension than the sources'
    store->startConversion();
    finishBatch();

    std::vector<fs::path> outputs;
    for (const auto& it : store->items()) {
        SCOPED_TRACE(it.url.filename().string());
        ASSERT_EQ(it.status.kind(), ItemStatus::done) << it.status.message();
        const fs::path out = it.outputURL.value();
        EXPECT_EQ(out.parent_path(), it.url.parent_path());
        EXPECT_EQ(out.extension(), ".webp");
        EXPECT_LE(out.filename().native().size(), 255u);
        EXPECT_TRUE(!validUtf8(it.url.filename().native()) || validUtf8(out.filename().native()));
        outputs.push_back(out);
    }
    // The two long names shorten to one stem: the second takes a suffixed name.
    EXPECT_EQ(filesUnder(dir / "in").size(), 2 * names.size());
    EXPECT_EQ(brokenFiles(outputs), std::vector<fs::path>{});
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

TEST_F(StoreTest, DeepLoopedAndCrowdedFolders) {
    fs::path deep = dir / "deep";
    for (int level = 0; level < 50; ++level) deep /= "d" + std::to_string(level);
    makePng(deep / "bottom.png");
    fs::create_directories(dir / "loop" / "inner");
    makePng(dir / "loop" / "inner" / "once.png");
    fs::create_directory_symlink("..", dir / "loop" / "inner" / "up");
    fs::create_directory_symlink(dir / "loop", dir / "loop" / "inner" / "again");
    // A crowd: one small picture under 10,000 names.
    makePng(dir / "seed.png", 8, 8);
    const std::string one = readFile(dir / "seed.png");
    for (int i = 0; i < 10000; ++i) writeText(dir / "crowd" / ("c" + std::to_string(i) + ".png"), one);
    fs::remove(dir / "seed.png");
    tally("inputs", 10002);
    const FolderSnapshot before(dir.path());

    ASSERT_EQ(addAndWait({dir / "deep", dir / "loop", dir / "crowd"}), 10002u);
    EXPECT_EQ(at(0).url.filename(), "bottom.png");
    EXPECT_EQ(at(1).url.filename(), "once.png");
    EXPECT_EQ(at(2).url.filename(), "c0.png");
    EXPECT_EQ(at(10001).url.filename(), "c9999.png");  // natural order

    store->setFormat(OutputFormat::jpeg);
    store->setOutputFolder(dir / "out");
    store->setOutputMode(OutputMode::folder);
    fs::create_directories(dir / "out");
    store->startConversion();
    finishBatch();
    std::int64_t done = 0;
    for (const auto& it : store->items()) done += it.status.kind() == ItemStatus::done ? 1 : 0;
    EXPECT_EQ(done, 10002);
    EXPECT_EQ(filesUnder(dir / "out").size(), 10002u);
    EXPECT_EQ(brokenFiles({dir / "out" / "bottom.jpg", dir / "out" / "c9999.jpg"}), std::vector<fs::path>{});
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

TEST(HostileInput, FilesWithoutReadPermission) {
    TempDir dir;
    const bool root = ::geteuid() == 0;
    // Root reads everything: the command line then runs as nobody.
    if (root) {
        fs::permissions(dir.path(), fs::perms::all);
        if (runCliLimited({"--version"}, dir.path(), true).status != 0)
            GTEST_SKIP() << "the command line can't run as nobody from this build folder";
    }
    makePng(dir / "in" / "readable.png");
    makePng(dir / "in" / "locked.png");
    makePng(dir / "in" / "closed" / "inside.png");
    fs::permissions(dir / "in", fs::perms::all);
    fs::permissions(dir / "in" / "locked.png", fs::perms::none);
    fs::permissions(dir / "in" / "closed", fs::perms::none);
    fs::create_directories(dir / "out");
    fs::permissions(dir / "out", fs::perms::all);
    const FolderSnapshot before(dir / "in");
    tally("inputs", 3);

    const fs::path in = dir / "in";
    const RunResult run = runCliLimited({"--format", "jpeg", "--out", (dir / "out").string(), (in / "locked.png").string(),
                                         in.string()},
                                        dir.path(), root);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find((in / "locked.png").string() + ": Can't read this image"), std::string::npos) << run.out;
    EXPECT_EQ(filesUnder(dir / "out"), std::vector<fs::path>{dir / "out" / "readable.jpg"});
    fs::permissions(dir / "in" / "closed", fs::perms::owner_all);
    fs::permissions(dir / "in" / "locked.png", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

}  // namespace
}  // namespace krumple::test
