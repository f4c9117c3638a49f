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
    // With the structure kept: the folder each source came through ("": added on its own).
    std::vector<std::string> cameThrough = {};
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
    store->setKeepStructure(!c.cameThrough.empty());
    for (const std::string& name : c.onDisk) {
        if (name.ends_with('/')) fs::create_directories(dir / name);
        else if (name.starts_with('@')) fs::create_symlink(dir / "nowhere", dir / name.substr(1));
        else writeText(dir / name, "someone's file");
    }
    std::vector<ImageItem> items(c.sources.size());
    OutputReservations reservations;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].url = dir.path() / c.sources[i];
        if (i < c.cameThrough.size() && !c.cameThrough[i].empty()) items[i].cameThrough = dir / c.cameThrough[i];
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
           {"x" + e(124) + ".heic", "x" + e(120) + " krumpled.heic"}, {}},
    // Kept structure: <dropped folder's name>/<path below it>; one-by-one items at the top.
    Naming{"the structure keeps same-named files apart",
           {"lib/2023/img.jpg", "lib/2024/img.jpg", "lib/img.jpg", "lib/2023/deep/img.jpg", "other/img.jpg", "img.png"},
           {"out/lib/2023/img.heic", "out/lib/2024/img.heic", "out/lib/img.heic", "out/lib/2023/deep/img.heic",
            "out/other/img.heic", "out/img.heic"},
           {"out/"}, {}, true, {"lib", "lib", "lib", "lib", "other", ""}},
    Naming{"each item keeps the folder it came through", {"lib/2023/a.jpg", "lib/2024/a.jpg"},
           {"out/2023/a.heic", "out/lib/2024/a.heic"}, {"out/"}, {}, true, {"lib/2023/", "./lib"}},
    Naming{"collisions count up within each folder", {"lib/s/a.jpg", "lib/s/a.png", "lib/t/a.png"},
           {"out/lib/s/a krumpled.heic", "out/lib/s/a krumpled 2.heic", "out/lib/t/a.heic"},
           {"out/lib/s/a.heic"}, {}, true, {"lib", "lib", "lib"}},
    Naming{"alongside, the structure changes nothing", {"lib/s/a.jpg"}, {"lib/s/a.heic"}, {}, {}, false, {"lib"}}));

// A kept original's copy takes the source's own extension, by the same rules.
TEST_F(StoreTest, AKeptCopyIsNamedLikeAnOutputUnderItsOwnExtension) {
    store->setFormat(OutputFormat::jpeg);
    store->setOutputFolder(dir / "out");
    store->setOutputMode(OutputMode::folder);
    writeText(dir / "out" / "b.png", "someone's file");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.jpg", "out/a.jpg"},             // the same extension: the output's own name
        {"b.png", "out/b krumpled.png"},    // taken on disk
        {"1/c.PNG", "out/c.PNG"},
        {"2/c.PNG", "out/c krumpled.PNG"},  // reserved by the one before
        {"README", "out/README"},           // no extension: none added
    };
    OutputReservations reservations;
    for (const auto& [source, copy] : cases) {
        ImageItem item;
        item.url = dir / source;
        const fs::path output = store->assignOutputURL(item, reservations).value();
        EXPECT_EQ(store->assignKeptCopyURL(item, output, reservations).lexically_relative(dir.path()).native(), copy);
    }
}

}  // namespace
}  // namespace krumple::test
