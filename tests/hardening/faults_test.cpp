// Faults from outside during a batch: a destination that can't be written,
// a full disk, an output folder deleted mid-batch, sources changed after
// adding. Each item ends with a fixed text or a whole output; sources stay
// byte-identical and no temporary file survives.

#include <algorithm>

#include "harness.h"

namespace krumple::test {
namespace {

const std::string unwritable = "Couldn't write the output";

using Faults = Batch;

TEST_F(Faults, ReadOnlyOrFullDiskFailsTheOutputsThatDontFitAndKeepsTheRest) {
    addSources(8, 96);
    const FolderSnapshot before(src);
    // Each lossless output is about 27 kB. Many disk sizes, so that the disk
    // fills at every point of a write, the final flush included. The first
    // disk is read-only (root ignores permission bits, not a read-only mount).
    for (int kilobytes = 36; kilobytes <= 120; kilobytes += 4) {
        SCOPED_TRACE(std::to_string(kilobytes) + " kB disk");
        const bool readOnly = kilobytes == 36;
        const fs::path folder = out / std::to_string(kilobytes);
        const ScratchMount disk(folder, kilobytes * 1024, readOnly);
        if (!disk.why.empty()) GTEST_SKIP() << disk.why;
        convertInto(folder, OutputFormat::png);
        tally("faults");
        const Strings texts = outcomes();
        const auto done = std::count(texts.begin(), texts.end(), "done");
        EXPECT_TRUE(readOnly ? done == 0 : done >= 1) << done << " done";
        EXPECT_LT(done, 8) << "the disk was not full after all";
        EXPECT_EQ(std::count(texts.begin(), texts.end(), unwritable), 8 - done);
        // Only whole outputs remain, each as large as reported.
        for (const auto& it : store->items())
            EXPECT_TRUE(it.status.kind() != ItemStatus::done ||
                        static_cast<std::int64_t>(fs::file_size(*it.outputURL)) == it.outputSize.value_or(-1)) << it.url;
        expectExactly(folder, outputs());
        EXPECT_EQ(store->completed(), store->total());
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
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
    const Strings texts = outcomes();
    for (const auto& text : texts) EXPECT_TRUE(text == "done" || text == unwritable) << text;
    EXPECT_GT(std::count(texts.begin(), texts.end(), unwritable), 0);
    EXPECT_EQ(store->completed(), store->total());
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

TEST_F(Faults, SourcesChangedBetweenAddingAndConverting) {
    addSources(4, 48);
    fs::remove(src / "p0.png");
    writeText(src / "p1.png", "");
    fs::remove(src / "p2.png");
    writeText(src / "p2.png" / "inside.txt", "keep me");
    const FolderSnapshot before(src);
    convertInto(out);
    tally("faults", 3);
    EXPECT_EQ(outcomes(), (Strings{"Can't read this image", "Can't read this image", "Can't read this image", "done"}));
    expectExactly(out, {out / "p3.jpg"});
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

// Keeping the structure: a file stands where a folder must be made, and a
// path that grows past what the system takes under a deep output folder.
// Those fail with the fixed text, nothing is half made, the rest converts.
TEST_F(Faults, AStructureThatCantBeMadeFailsOnlyItsOwnFiles) {
    const std::string longName(250, 'd');
    fs::path deep = src;
    for (int i = 0; i < 10; ++i) deep /= longName;
    fs::path deepOut = dir.path();
    for (int i = 0; i < 7; ++i) deepOut /= std::string(250, 'o');
    const vips::VImage picture = noise(32, 32);
    for (const fs::path& file : {src / "blocked/a.png", deep / "b.png", src / "fine/c.png"}) {
        fs::create_directories(file.parent_path());
        picture.pngsave(file.c_str());
    }
    ASSERT_EQ(addAndWait({src}), 3u);
    const FolderSnapshot before(src);
    for (const fs::path& folder : {out, deepOut}) {
        SCOPED_TRACE(folder.native().size());
        writeText(folder / "src/blocked", "someone's file");
        store->setKeepStructure(true);
        convertInto(folder);
        tally("faults", 2);
        EXPECT_EQ(outcomes(), (Strings{unwritable, folder == out ? "done" : unwritable, "done"}));
        auto expected = outputs();
        expected.push_back(folder / "src/blocked");
        auto found = filesUnder(folder);
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(readFile(folder / "src/blocked"), "someone's file");
        if (folder == deepOut) {
            EXPECT_FALSE(fs::exists(folder / "src" / longName));
        }
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

}  // namespace
}  // namespace krumple::test
