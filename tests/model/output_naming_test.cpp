// Output naming: candidates, reservations, what counts as taken.

#include "test_support.h"

namespace krumple::test {
namespace {

// Named as a batch start names them: every source taken, one reserved set.
struct Naming {
    const char* what;
    std::vector<std::string> sources;   // in list order, under the test's folder
    std::vector<std::string> expected;  // their outputs, to HEIC
    std::vector<std::string> onDisk;    // "x": a file, "x/": a folder, "@x": a dangling link
    std::string earlierOutput = {};     // the first source's output from an earlier batch
    bool intoFolder = false;            // folder mode, into "out"
};

void PrintTo(const Naming& c, std::ostream* os) { *os << c.what; }

std::string e(int count) { return count > 0 ? "\xC3\xA9" + e(count - 1) : ""; }  // "é" `count` times: two bytes each

class OutputNaming : public StoreTest, public ::testing::WithParamInterface<Naming> {};

TEST_P(OutputNaming, Names) {
    const Naming& c = GetParam();
    store->setFormat(OutputFormat::heic);
    if (c.intoFolder) {
        store->setOutputFolder(dir / "out");
        store->setOutputMode(OutputMode::folder);
    }
    for (const std::string& name : c.onDisk) {
        if (name.ends_with('/')) fs::create_directories(dir / name);
        else if (name.starts_with('@')) fs::create_symlink(dir / "nowhere", dir / name.substr(1));
        else writeText(dir / name, "someone's file");
    }
    std::vector<ImageItem> items(c.sources.size());
    OutputReservations reservations;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].url = dir.path() / c.sources[i];
        reservations.sources.insert(standardizedPath(items[i].url));
    }
    if (!c.earlierOutput.empty()) items[0].outputURL = dir / c.earlierOutput;
    std::vector<std::string> names;
    for (const auto& it : items)
        names.push_back(store->assignOutputURL(it, reservations).value().lexically_relative(dir.path()).native());
    EXPECT_EQ(names, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputNaming, ::testing::Values(
    Naming{"the first in list order gets the plain name", {"a.png", "a.jpg"}, {"a.heic", "a krumpled.heic"}, {}},
    Naming{"folder mode counts up past collisions", {"1/x.jpg", "2/x.jpg", "3/x.jpg"},
           {"out/x.heic", "out/x krumpled.heic", "out/x krumpled 2.heic"}, {"out/"}, {}, true},
    Naming{"a source is never its own output", {"b.heic"}, {"b krumpled.heic"}, {}},
    Naming{"files, folders and dangling links are taken", {"a.jpg"}, {"a krumpled 3.heic"},
           {"a.heic", "a krumpled.heic/", "@a krumpled 2.heic"}},
    Naming{"an item may rewrite its own earlier output", {"a.jpg"}, {"a.heic"}, {"a.heic"}, "a.heic"},
    // a.heic was a's output once, and has since been added as a source itself.
    Naming{"another listed source is never overwritten", {"a.png", "a.heic"}, {"a krumpled.heic", "a krumpled 2.heic"},
           {"a.heic"}, "a.heic"},
    Naming{"nor one that is not on disk (yet)", {"b.png", "b.heic"}, {"b krumpled.heic", "b krumpled 2.heic"}, {}},
    Naming{"spellings of one folder share the reservations", {"a.png", "./a.jpg"}, {"a.heic", "a krumpled.heic"}, {}},
    Naming{"names that are not UTF-8 keep their bytes", {"caf\xE9.png"}, {"caf\xE9.heic"}, {}},
    // 255 bytes of stem: cut to fit 255 with the extension, never inside a character.
    Naming{"long names are shortened at a character boundary", {"x" + e(127) + ".png", "x" + e(127) + ".jpg"},
           {"x" + e(124) + ".heic", "x" + e(120) + " krumpled.heic"}, {}}));

}  // namespace
}  // namespace krumple::test
