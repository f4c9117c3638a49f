// Faults from outside during a batch: a destination that can't be written,
// a full disk, an output folder deleted mid-batch, sources changed after
// adding. Each item ends with a fixed text or a whole output; sources stay
// byte-identical and no temporary file survives.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <vips/vips8>

#include "harness.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using Texts = std::vector<std::string>;

class Faults : public StoreTest {
protected:
    fs::path src = dir / "src";
    fs::path out = dir / "out";

    // `n` sources of `side` pixels, added in name order. Noise, so that a
    // lossless output is about 3 bytes a pixel.
    void addSources(int n, int side = 48) {
        const auto band = [side] {
            return vips::VImage::gaussnoise(side, side, vips::VImage::option()->set("sigma", 60.0)).cast(VIPS_FORMAT_UCHAR);
        };
        const vips::VImage noise = vips::VImage::bandjoin({band(), band(), band()})
                                       .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        fs::create_directories(src);
        for (int i = 0; i < n; ++i) noise.pngsave((src / ("p" + std::to_string(i) + ".png")).c_str());
        ASSERT_EQ(addAndWait({src}), static_cast<std::size_t>(n));
    }
    void convertInto(const fs::path& folder, OutputFormat format = OutputFormat::jpeg) {
        fs::create_directories(folder);
        store->setFormat(format);
        store->setOutputFolder(folder);
        store->setOutputMode(OutputMode::folder);
        store->startConversion();
        finishBatch();
    }
    // Every item's outcome: "done" or its failure text.
    Texts outcomes() const {
        Texts texts;
        for (const auto& it : store->items())
            texts.push_back(it.status.kind() == ItemStatus::done ? "done" : it.status.message());
        return texts;
    }
    std::vector<fs::path> outputs() const {
        std::vector<fs::path> paths;
        for (const auto& it : store->items())
            if (it.status.kind() == ItemStatus::done && it.outputURL) paths.push_back(*it.outputURL);
        return paths;
    }
    void expectNothingLeftBehind(const FolderSnapshot& before) {
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
        EXPECT_EQ(temporaries(dir.path()), std::vector<fs::path>{});
        EXPECT_EQ(brokenFiles(outputs()), std::vector<fs::path>{});
        EXPECT_EQ(store->completed(), store->total());
    }
};

TEST_F(Faults, ReadOnlyDestinationFailsEveryItemAndWritesNothing) {
    addSources(3);
    const FolderSnapshot before(src);
    // Root ignores permission bits, so root gets a read-only mount instead.
    std::optional<ScratchMount> mount;
    if (::geteuid() == 0) {
        mount.emplace(out, 1 << 20, true);
        if (!mount->mounted()) GTEST_SKIP() << mount->why();
    } else {
        fs::create_directories(out);
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    }
    convertInto(out);
    tally("faults");
    EXPECT_EQ(outcomes(), Texts(3, "Couldn't write the output"));
    EXPECT_EQ(filesUnder(out), std::vector<fs::path>{});
    if (!mount) fs::permissions(out, fs::perms::owner_all);
    expectNothingLeftBehind(before);
}

TEST_F(Faults, FullDiskFailsTheOutputsThatDontFitAndKeepsTheRest) {
    addSources(8, 96);
    const FolderSnapshot before(src);
    // Each lossless output is about 27 kB. Many disk sizes, so that the disk
    // fills at every point of a write, the final flush included.
    for (int kilobytes = 40; kilobytes <= 120; kilobytes += 4) {
        SCOPED_TRACE(std::to_string(kilobytes) + " kB disk");
        const fs::path folder = out / std::to_string(kilobytes);
        ScratchMount disk(folder, kilobytes * 1024);
        if (!disk.mounted()) GTEST_SKIP() << disk.why();
        convertInto(folder, OutputFormat::png);
        tally("faults");
        const Texts texts = outcomes();
        const auto done = std::count(texts.begin(), texts.end(), "done");
        EXPECT_GE(done, 1);
        EXPECT_LT(done, static_cast<long>(texts.size())) << "the disk was not full after all";
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Couldn't write the output"),
                  static_cast<long>(texts.size()) - done);
        // Only whole outputs remain, each as large as reported.
        for (const auto& it : store->items()) {
            if (it.status.kind() != ItemStatus::done) continue;
            EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(*it.outputURL)), it.outputSize.value_or(-1));
        }
        EXPECT_EQ(filesUnder(folder).size(), static_cast<std::size_t>(done));
        EXPECT_EQ(brokenFiles(outputs()), std::vector<fs::path>{});
        EXPECT_EQ(temporaries(folder), std::vector<fs::path>{});
    }
    expectNothingLeftBehind(before);
}

// Removes the output folder as the first result comes in.
struct FolderRemover : StoreObserver {
    fs::path folder;
    bool removed = false;
    void storeChanged(const StoreChange& change) override {
        if (removed || change.field != StoreField::completed) return;
        removed = true;
        // Running jobs add and rename temporaries meanwhile; retry until gone.
        std::error_code error;
        for (int tries = 0; tries < 100 && fs::exists(folder); ++tries) fs::remove_all(folder, error);
    }
};

TEST_F(Faults, OutputFolderDeletedDuringTheBatch) {
    addSources(12, 96);
    const FolderSnapshot before(src);
    FolderRemover remover;
    remover.folder = out;
    store->subscribe(&remover);
    convertInto(out, OutputFormat::png);
    store->unsubscribe(&remover);
    tally("faults");
    ASSERT_TRUE(remover.removed);
    // Jobs running at the moment of removal, and all later ones, can't write;
    // the folder is not made again behind the user's back.
    EXPECT_FALSE(fs::exists(out));
    const Texts texts = outcomes();
    for (const auto& text : texts) EXPECT_TRUE(text == "done" || text == "Couldn't write the output") << text;
    EXPECT_GT(std::count(texts.begin(), texts.end(), "Couldn't write the output"), 0);
    expectNothingLeftBehind(before);
}

TEST_F(Faults, SourcesChangedBetweenAddingAndConverting) {
    addSources(4);
    fs::remove(src / "p0.png");
    std::ofstream(src / "p1.png", std::ios::trunc).close();
    fs::remove(src / "p2.png");
    fs::create_directory(src / "p2.png");
    writeText(src / "p2.png" / "inside.txt", "keep me");
    const FolderSnapshot before(src);
    convertInto(out);
    tally("faults", 3);
    EXPECT_EQ(outcomes(), (Texts{"Can't read this image", "Can't read this image", "Can't read this image", "done"}));
    EXPECT_EQ(filesUnder(out), std::vector<fs::path>{out / "p3.jpg"});
    expectNothingLeftBehind(before);
}

}  // namespace
}  // namespace krumple::test
