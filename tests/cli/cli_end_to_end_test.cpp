// krumple-cli run as a program on a temporary folder.

#include <fcntl.h>
#include <sys/stat.h>

#include <sstream>

#include "child_process.h"
#include "image_io.h"
#include "fmt.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using Names = std::vector<std::string>;

Names namesIn(const fs::path& folder) {
    Names names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

class CliTest : public ::testing::Test {
protected:
    // In a UTF-8 locale, whatever the tests' own; `shell` runs as sh -c's script, $CLI being krumple-cli.
    RunResult run(const std::vector<std::string>& args, std::string locale = "C.UTF-8", const std::string& shell = "") {
        ChildProcess child(shell.empty() ? KRUMPLE_CLI_PATH : "/bin/sh", shell.empty() ? args : std::vector{std::string("-c"), shell},
                           dir.path().native(), {"LC_ALL=" + locale, std::string("CLI=") + KRUMPLE_CLI_PATH, "TMPDIR=" + (dir / "tmp").native()});
        const int status = child.wait();
        return {status, child.out, child.err};
    }
    TempDir dir;
};

TEST_F(CliTest, TextNextToTheOriginalsAndJsonIntoAFolder) {
    makePng(dir / "p/a.png");
    makeJpeg(dir / "p/sub/b.jpg");
    auto r = run({"--format", "jpeg", "--max-width", "8", "p"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "p/sub"), (Names{"b krumpled.jpg", "b.jpg"}));
    EXPECT_EQ(vips::VImage::new_from_file((dir / "p/a.jpg").c_str()).width(), 16);  // 8 is raised to 16
    // A line per result in completion order, then the totals.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
    for (const char* line : {"p/a.png: ", "p/sub/b.jpg \u2192 p/sub/b krumpled.jpg: ", "\nTotal: "})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\n2 of 2 converted\n")) << r.out;
    EXPECT_EQ(r.err.find("\033["), std::string::npos);  // no progress bar off a terminal

    makePng(dir / "q/c.png", 40, 80);
    r = run({"--json", "--format=png", "--out", "out", "--max-height", "20", "q"});
    EXPECT_EQ(r.status, 0) << r.err;
    const vips::VImage portrait = vips::VImage::new_from_file((dir / "out/c.png").c_str());
    EXPECT_EQ(std::pair(portrait.width(), portrait.height()), std::pair(10, 20));
    const std::string start = "{\"source\":\"q/c.png\",\"output\":\"" + (dir / "out/c.png").native() + "\",\"status\":\"done\",";
    EXPECT_TRUE(r.out.starts_with(start) && r.out.ends_with("}\n") && std::count(r.out.begin(), r.out.end(), '\n') == 1)
        << r.out;  // one result, no totals
}

// With --keep-dates each output has its original's times, to the nanosecond;
// without, today's. Reading the original moves its access time: the output
// gets the one the conversion found.
TEST_F(CliTest, KeepDatesGivesEachOutputItsOriginalsTimes) {
    makeJpeg(dir / "old.jpg");
    const timespec times[2] = {{978'307'200, 123'456'789}, {1'000'000'000, 987'654'321}};  // accessed, modified
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "old.jpg").c_str(), times, 0), 0);
    const auto statOf = [](const fs::path& file) {
        struct stat st {};
        EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
        return std::tuple(st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    ASSERT_EQ(run({"--keep-dates", "--format", "webp", "--out", "kept", "old.jpg"}).status, 0);
    const auto kept = statOf(dir / "kept/old.webp");
    EXPECT_EQ(kept, statOf(dir / "old.jpg"));
    EXPECT_EQ(std::pair(std::get<2>(kept), std::get<3>(kept)), std::pair(times[1].tv_sec, times[1].tv_nsec));
    ASSERT_EQ(run({"--format", "webp", "--out", "today", "old.jpg"}).status, 0);
    EXPECT_GT(std::get<2>(statOf(dir / "today/old.webp")), times[1].tv_sec + 365L * 24 * 3600);
}

// An 8×8 PNG comes out larger as a JPEG and is kept: nothing is written next
// to it; into a folder it is copied unchanged, with its dates when asked.
// A PNG stored uncompressed comes out smaller and is written as usual.
TEST_F(CliTest, OnlySmallerKeepsTheOriginalInBothOutputModes) {
    makePng(dir / "p/tiny.png", 8, 8);
    ensureImageLibrary();
    vips::VImage::black(200, 200, vips::VImage::option()->set("bands", 3))
        .pngsave((dir / "p/plain.png").c_str(), vips::VImage::option()->set("compression", 0));
    const timespec times[2] = {{978'307'200, 5}, {1'000'000'000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "p/tiny.png").c_str(), times, 0), 0);

    auto r = run({"--only-smaller", "--format", "jpeg", "p"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "p"), (Names{"plain.jpg", "plain.png", "tiny.png"}));
    EXPECT_NE(r.out.find("p/tiny.png: Original kept (output was "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("% larger)\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\n1 of 2 converted \u00B7 1 original kept\n")) << r.out;

    r = run({"--only-smaller", "--keep-dates", "--json", "--format", "jpeg", "--out", "out", "p/tiny.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "out"), (Names{"tiny.png"}));
    EXPECT_EQ(readFile(dir / "out/tiny.png"), readFile(dir / "p/tiny.png"));
    EXPECT_TRUE(r.out.starts_with("{\"source\":\"p/tiny.png\",\"output\":\"" + (dir / "out/tiny.png").native() +
                                  "\",\"status\":\"kept\",")) << r.out;
    struct stat copy {};
    ASSERT_EQ(::stat((dir / "out/tiny.png").c_str(), &copy), 0);
    EXPECT_EQ(std::pair(copy.st_mtim.tv_sec, copy.st_mtim.tv_nsec), std::pair(times[1].tv_sec, times[1].tv_nsec));
}

// Same-named files in several folders keep their places under --out.
TEST_F(CliTest, KeepStructureRecreatesTheFoldersGiven) {
    for (const char* name : {"lib/2023/img.png", "lib/2024/img.png", "lib/img.png", "loose/img.png"})
        makePng(dir / name);
    const auto r = run({"--keep-structure", "--format", "jpeg", "--out", "out", "lib", "loose/img.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(dir / "out"), (Names{"img.jpg", "lib"}));
    EXPECT_EQ(namesIn(dir / "out/lib"), (Names{"2023", "2024", "img.jpg"}));
    EXPECT_EQ(namesIn(dir / "out/lib/2023"), (Names{"img.jpg"}));
    EXPECT_EQ(namesIn(dir / "out/lib/2024"), (Names{"img.jpg"}));
}

// The quality chosen per image: JSON tells it with the distance measured; a
// cap no quality meets fails that file, names the smallest size and writes nothing.
TEST_F(CliTest, AutoQualityAndASizeCapChoosePerImage) {
    makePng(dir / "p/a.png", 200, 150);
    auto r = run({"--quality", "auto", "--json", "--format", "webp", "p"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* field : {"\"status\":\"done\"", "\"quality\":0.", "\"distance\":"})
        EXPECT_NE(r.out.find(field), std::string::npos) << r.out;
    r = run({"--max-bytes", "100", "--format", "jpeg", "p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("p/a.png: Doesn't fit in 100 bytes (smallest "), std::string::npos) << r.out;
    EXPECT_EQ(namesIn(dir / "p"), (Names{"a.png", "a.webp"}));
}

// --difference measures each output whole, in its job: the very figure Auto
// reports for the file it wrote, as the window's row and comparison show them.
TEST_F(CliTest, DifferenceMeasuresEachOutputAgainstItsOriginal) {
    makePng(dir / "p/a.png", 200, 150);
    makePng(dir / "q/b.png", 8, 8);
    const auto number = [](const std::string& json, const std::string& field) {
        const auto at = json.find("\"" + field + "\":");
        return at == std::string::npos ? -1.0 : std::stod(json.substr(at + field.size() + 3));
    };
    auto r = run({"--quality", "auto", "--difference", "--json", "--format", "webp", "--out", "auto", "p", "q/b.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"difference\":", r.out.find('\n')), std::string::npos) << r.out;  // the second line too
    ASSERT_GT(number(r.out, "distance"), 0) << r.out;
    EXPECT_EQ(number(r.out, "difference"), number(r.out, "distance")) << r.out;

    r = run({"--difference", "--format", "png", "--json", "--out", "png", "p"});
    EXPECT_EQ(number(r.out, "difference"), 0) << r.out;
    r = run({"--difference", "--format", "jpeg", "--quality", "0.05", "--out", "rough", "p"});
    const auto at = r.out.find(" \u00B7 ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string told = r.out.substr(at + 4, r.out.find('\n') - at - 4);
    EXPECT_EQ(told, Fmt::distanceText(std::stod(told.substr(told.rfind(' ') + 1)))) << r.out;
    EXPECT_GT(std::stod(told.substr(told.rfind(' ') + 1)), 2.0) << r.out;
}

// Listed paths go the way of paths on the command line, names as bytes:
// nothing trimmed, not even a '\r'; one that is gone fails alone. (NUL-ended
// lists and odd names: tests/cli/sharded_by_parallel.sh.)
TEST_F(CliTest, FilesFromListsPathsOneALine) {
    for (const char* name : {"p/a.png", "p/sub/b.png", "c.png"}) makePng(dir / name);
    writeText(dir / "lines", "p\n\ngone.png\nc.png\r\n");
    auto r = run({"--files-from", "lines", "--format", "jpeg", "--out", "o", "c.png"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(namesIn(dir / "o"), (Names{"a.jpg", "b.jpg", "c.jpg"}));
    for (const char* line : {"gone.png: No such file or folder\n", "c.png\r: No such file or folder\n", "\n3 of 5 converted, 2 failed\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    r = run({"--files-from", "missing"});
    EXPECT_EQ(std::pair(r.status, r.err), std::pair(2, std::string("krumple-cli: can't read the list missing: No such file or directory\n")));
}

// On a terminal (`script` gives the run one) the bar rewrites a single line
// and is erased (ESC[K) before anything else: what stays on screen is what a
// run off a terminal prints. With --json there is no bar at all.
TEST_F(CliTest, ProgressBarOnlyOnATerminalAndNeverInTheWay) {
    for (int i = 0; i < 4; ++i) makePng(dir / ("p/" + std::to_string(i) + ".png"), 300, 300);
    const auto onTerminal = [&](const std::string& args) {
        ChildProcess child("/usr/bin/script", {"-qec", std::string(KRUMPLE_CLI_PATH) + " --jobs 1 --format webp " + args, "/dev/null"},
                           dir.path().native(), {"LC_ALL=C.UTF-8"});
        EXPECT_EQ(child.wait(), 0) << child.err;
        return child.out;
    };
    const auto shownLines = [](const std::string& text) {
        Names lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (const auto erased = line.rfind("\033[K"); erased != std::string::npos) line.erase(0, erased + 3);
            if (line.ends_with('\r')) line.pop_back();  // the terminal's own, before \n
            if (!line.empty()) lines.push_back(line);
        }
        return lines;
    };
    const std::string raw = onTerminal("--out t p");
    ASSERT_NE(raw.find("] 0/4\r"), std::string::npos) << raw;
    fs::remove_all(dir / "t");
    EXPECT_EQ(shownLines(raw), shownLines(run({"--jobs", "1", "--format", "webp", "--out", "t", "p"}).out)) << raw;
    const std::string json = onTerminal("--json --out j p");
    EXPECT_TRUE(shownLines(json).size() == 4 && json.find_first_of("\033#") == std::string::npos) << json;
}

TEST_F(CliTest, ExitStatusesAndWhatTheySay) {
    makePng(dir / "p/a.png");
    // Drawn by ImageMagick, it would come out as the picture it names.
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='24' "
                            "height='16'><image xlink:href='" + (dir / "p/a.png").native() + "' width='24' height='16'/></svg>";
    for (const char* name : {"p/points.svg", "p/points.jpg"}) writeText(dir / name, svg);
    writeText(dir / "file", "x");
    writeText(dir / "empty/readme.txt", "hello");
    struct Case { std::vector<std::string> args; int status; std::string says; };
    for (const auto& c : std::vector<Case>{{{"--quality", "150", "p"}, 2, "krumple-cli: --quality"},
                                           {{"missing.png"}, 1, "missing.png: No such file or folder\n0 of 1 converted, 1 failed"},
                                           {{"--out", "file", "p"}, 2, "krumple-cli: --out is not a folder"},
                                           {{"empty"}, 0, "No images found"},
                                           {{"p/points.svg", "p/points.jpg"}, 1, "p/points.jpg: Can't read this image"},
                                           {{"--help"}, 0, "; default here: "},
                                           {{"--version"}, 0, "krumple-cli "},
                                           {{"--list-formats"}, 0, "jpeg"}}) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        EXPECT_EQ(namesIn(dir / "p"), (Names{"a.png", "points.jpg", "points.svg"})) << c.says;  // nothing converted
    }
}

// A second run with --skip-existing writes nothing: every file whose output
// name (or, for kept originals copied into --out, the copy's) is taken is
// told as skipped, in text and JSON; names are judged in the folders kept.
TEST_F(CliTest, SkipExistingLeavesTakenNamesAlone) {
    makePng(dir / "p/a.png", 200, 150);
    makePng(dir / "p/sub/b.png");
    makePng(dir / "q/tiny.png", 8, 8);  // larger as a JPEG: kept
    const auto everything = [&] {
        Names names;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) names.push_back(e.path().native());
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const auto& [args, lines] : std::vector<std::pair<std::vector<std::string>, Names>>{
             {{"-f", "jpg", "p"}, {"p/a.jpg: skipped (p/a.jpg exists)", "p/a.png: skipped (p/a.jpg exists)",
                                   "p/sub/b.jpg: skipped (p/sub/b.jpg exists)",
                                   "p/sub/b.png: skipped (p/sub/b.jpg exists)", "0 of 4 converted, 4 skipped"}},
             {{"-f", "jpg", "--only-smaller", "--keep-structure", "-o", "o", "q"},
              {"q/tiny.png: skipped (o/q/tiny.png exists)", "0 of 1 converted, 1 skipped"}}}) {
        std::vector<std::string> again = args;
        again.insert(again.begin(), "--skip-existing");
        EXPECT_EQ(run(again).status, 0);
        const Names before = everything();
        const auto r = run(again);
        Names told;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) told.push_back(line);
        if (!told.empty()) std::sort(told.begin(), told.end() - 1);
        EXPECT_EQ(std::pair(r.status, told), std::pair(0, lines)) << r.err;
        EXPECT_EQ(everything(), before);
    }
    const auto json = run({"--skip-existing", "--json", "-f", "jpeg", "p/a.png"});
    EXPECT_EQ(json.out, "{\"source\":\"p/a.png\",\"output\":\"" + (dir / "p/a.jpg").native() + "\",\"status\":\"skipped\"}\n");
}

// "-" reads one image from standard input; with --out - its output alone
// goes to standard output and what is said goes to standard error. The
// temporary copy is gone afterwards.
TEST_F(CliTest, StandardStreamsCarryOneImage) {
    makePng(dir / "a.png", 40, 30);
    fs::create_directories(dir / "tmp");
    auto r = run({}, "C.UTF-8", "\"$CLI\" -f png --out - - < a.png > b.png");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(vips::VImage::new_from_file((dir / "b.png").c_str()).width(), 40);
    EXPECT_TRUE(r.err.starts_with("-: ") && r.err.ends_with("\n1 of 1 converted\n") && r.out.empty()) << r.err;
    r = run({}, "C.UTF-8", "\"$CLI\" --json -f webp --out o - < a.png");
    EXPECT_TRUE(r.out.starts_with("{\"source\":\"-\",\"output\":\"" + (dir / "o/stdin.webp").native() + "\",\"status\":\"done\""))
        << r.out << r.err;
    r = run({}, "C.UTF-8", "echo nothing | \"$CLI\" --out - - > c.png");
    EXPECT_EQ(std::tuple(r.status, r.err, readFile(dir / "c.png")),
              std::tuple(1, std::string("-: Can't read this image\n0 of 1 converted, 1 failed\n"), std::string()));
    EXPECT_EQ(namesIn(dir / "tmp"), Names{});
}

// Under a locale that isn't UTF-8 the text is ASCII but for the names; JSON stays UTF-8.
TEST_F(CliTest, PlainTextUnderAnAsciiLocale) {
    const std::string name = "caf\u00E9";
    makePng(dir / (name + ".png"), 200, 150);
    auto r = run({"-f", "webp", "-o", "o", "missing.png", name + ".png"}, "C");
    std::string ours = r.out + r.err;
    for (std::size_t at; (at = ours.find(name)) != std::string::npos;) ours.erase(at, name.size());
    EXPECT_EQ(std::count_if(ours.begin(), ours.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }), 0) << r.out;
    EXPECT_NE(r.out.find(name + ".png -> o/" + name + ".webp: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 of 2 converted, 1 failed"), std::string::npos) << r.out;
    EXPECT_NE(run({"--json", "-f", "webp", "-o", "j", name + ".png"}, "C").out.find(" \u2192 "), std::string::npos);
}

}  // namespace
}  // namespace krumple::test
