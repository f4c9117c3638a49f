// Whole batches through the store, converting real little images.

#include "test_support.h"

namespace krumple::test {
namespace {

class BatchTest : public StoreTest {
protected:
    void SetUp() override {
        const auto& available = OutputFormat::available();
        if (std::find(available.begin(), available.end(), OutputFormat(OutputFormat::jpeg)) == available.end())
            GTEST_SKIP() << "this system cannot write JPEG";
        store->setFormat(OutputFormat::jpeg);
    }

    void addPictures(std::size_t count) {
        std::vector<fs::path> files;
        for (std::size_t i = 0; i < count; ++i) {
            files.push_back(dir / ("img" + std::to_string(i) + ".png"));
            makePng(files.back());
        }
        ASSERT_EQ(addAndWait(files), count);
    }

    std::size_t filesIn(const fs::path& folder) const {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(folder)) if (e.is_regular_file()) ++n;
        return n;
    }
};

// Watches items turn converting and then done or failed.
struct StatusWatch : StoreObserver {
    const Store* store = nullptr;
    std::vector<std::string> events;  // "S<row>" on converting, "F<row>" on a result
    int converting = 0;
    int maxConverting = 0;
    void storeChanged(const StoreChange& change) override {
        if (change.field != StoreField::items || change.edit != StoreChange::ItemsEdit::updated) return;
        for (std::size_t k = 0; k < change.ids.size(); ++k) {
            const auto kind = store->item(change.ids[k])->status.kind();
            const std::string row = std::to_string(change.rows[k]);
            if (kind == ItemStatus::converting) {
                events.push_back("S" + row);
                maxConverting = std::max(maxConverting, ++converting);
            } else if (kind == ItemStatus::done || kind == ItemStatus::failed) {
                events.push_back("F" + row);
                --converting;
            }
        }
    }
    std::size_t firstResult() const {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i][0] == 'F') return i;
        return events.size();
    }
    std::size_t position(const std::string& e) const {
        return static_cast<std::size_t>(std::find(events.begin(), events.end(), e) - events.begin());
    }
};

TEST_F(BatchTest, ConvertsEveryItemAtMostLimitAtOnce) {
    addPictures(6);
    store->setProcessorCount([] { return 4; });
    StatusWatch watch;
    watch.store = store.get();
    store->subscribe(&watch);
    store->startConversion();
    EXPECT_TRUE(store->isRunning());
    EXPECT_EQ(store->total(), 6);
    EXPECT_EQ(store->completed(), 0);
    finishBatch();
    store->unsubscribe(&watch);

    EXPECT_LE(watch.maxConverting, 4);
    EXPECT_GT(watch.position("S4"), watch.firstResult());  // the fifth waits for a report
    EXPECT_EQ(store->completed(), 6);
    for (const auto& it : store->items()) {
        EXPECT_EQ(it.status, ItemStatus::done) << it.status.message();
        ASSERT_TRUE(it.outputURL);
        EXPECT_EQ(it.outputURL->parent_path(), dir.path());
        EXPECT_EQ(it.outputURL->extension(), ".jpg");
        EXPECT_EQ(it.outputSize, static_cast<std::int64_t>(fs::file_size(*it.outputURL)));
        EXPECT_EQ(it.revision, 1);
    }
}

TEST_F(BatchTest, ConvertingAgainRewritesTheSameOutputs) {
    addPictures(3);
    store->startConversion();
    finishBatch();
    std::vector<fs::path> first;
    for (const auto& it : store->items()) first.push_back(it.outputURL.value());
    const auto before = filesIn(dir.path());

    store->startConversion();
    finishBatch();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(at(i).status, ItemStatus::done);
        EXPECT_EQ(at(i).outputURL, first[i]);
        EXPECT_EQ(at(i).revision, 2);
    }
    EXPECT_EQ(filesIn(dir.path()), before);  // no " krumpled" copies
}

TEST_F(BatchTest, TheSettingsAreTakenOnceAtTheStart) {
    store->setMaxWidth(10);
    EXPECT_FALSE(store->settingsSnapshot().maxWidth);
    store->setLimitWidth(true);
    EXPECT_EQ(store->settingsSnapshot().maxWidth, 16);
    store->setMaxWidth(2048);
    EXPECT_EQ(store->settingsSnapshot().maxWidth, 2048);
    store->setLimitWidth(false);

    addPictures(2);
    store->startConversion();
    store->setFormat(OutputFormat::png);
    store->setQuality(0.1);
    finishBatch();
    for (const auto& it : store->items()) {
        ASSERT_EQ(it.status, ItemStatus::done);
        const std::string bytes = readFile(*it.outputURL);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);  // JPEG, as at the start
        EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    }
}

TEST_F(BatchTest, AFailureDropsTheOutputAndALaterSuccessRestoresIt) {
    addPictures(2);
    fs::remove(dir / "img1.png");
    store->startConversion();
    finishBatch();
    EXPECT_EQ(at(0).status, ItemStatus::done);
    EXPECT_EQ(at(1).status, ItemStatus::failure("Can't read this image"));
    EXPECT_FALSE(at(1).outputURL);
    EXPECT_FALSE(at(1).outputSize);
    EXPECT_EQ(store->completed(), 2);

    makePng(dir / "img1.png");
    store->startConversion();
    finishBatch();
    EXPECT_EQ(at(1).status, ItemStatus::done);
    EXPECT_TRUE(at(1).outputURL);
    EXPECT_TRUE(at(1).outputSize);
    EXPECT_EQ(at(1).revision, 2);
}

TEST_F(BatchTest, CancelBeforeAnythingRanFailsTheLaunchedAndLeavesTheRestPending) {
    addPictures(5);
    store->setProcessorCount([] { return 2; });
    store->startConversion();
    store->cancelRunTask();
    finishBatch();
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(at(i).status, ItemStatus::failure("Cancelled"));
        EXPECT_FALSE(at(i).outputURL);
    }
    for (std::size_t i = 2; i < 5; ++i) {
        EXPECT_EQ(at(i).status, ItemStatus::pending);
        EXPECT_TRUE(at(i).outputURL);  // kept from the start
        EXPECT_FALSE(at(i).outputSize);
        EXPECT_EQ(at(i).revision, 0);
    }
    EXPECT_EQ(store->completed(), 2);
    EXPECT_EQ(store->total(), 5);
    EXPECT_FALSE(store->isRunning());
    EXPECT_EQ(filesIn(dir.path()), 5u);  // nothing written, nothing left half-written
}

TEST_F(BatchTest, CancelAtTheFirstReportLetsNothingElseStart) {
    addPictures(4);
    store->setProcessorCount([] { return 1; });
    struct CancelOnFirstResult : StoreObserver {
        Store* store = nullptr;
        void storeChanged(const StoreChange& change) override {
            if (change.field == StoreField::completed && store->completed() == 1) store->cancelRunTask();
        }
    } canceller;
    canceller.store = store.get();
    store->subscribe(&canceller);
    store->startConversion();
    finishBatch();
    store->unsubscribe(&canceller);
    EXPECT_EQ(at(0).status, ItemStatus::done);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(at(i).status, ItemStatus::pending);
    EXPECT_EQ(store->completed(), 1);
    EXPECT_EQ(store->total(), 4);
}

TEST_F(BatchTest, ItemsAddedDuringABatchAreNotPartOfIt) {
    addPictures(2);
    makePng(dir / "late.png");
    store->startConversion();
    addAndWait({dir / "late.png"});
    finishBatch();
    EXPECT_EQ(store->total(), 2);
    ASSERT_EQ(store->items().size(), 3u);
    EXPECT_EQ(at(2).status, ItemStatus::pending);
    EXPECT_FALSE(at(2).outputURL);
}

TEST_F(BatchTest, AFileThatAppearsAtTheOutputAfterNamingIsLeftAlone) {
    addPictures(1);
    store->startConversion();
    // Workers wait for the main thread before converting: this lands first.
    const fs::path dst = at(0).outputURL.value();
    writeText(dst, "someone else's");
    finishBatch();
    EXPECT_EQ(at(0).status, ItemStatus::failure("Couldn't write the output"));
    EXPECT_EQ(readFile(dst), "someone else's");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().native().front(), '.') << "left behind: " << e.path();
}

TEST_F(BatchTest, FolderModeWritesIntoTheChosenFolder) {
    addPictures(2);
    store->setOutputMode(OutputMode::folder);
    store->startConversion();  // no folder yet: refused
    EXPECT_FALSE(store->isRunning());
    store->setOutputFolder(dir / "out");
    fs::create_directory(dir / "out");
    store->startConversion();
    finishBatch();
    EXPECT_EQ(filesIn(dir / "out"), 2u);
    EXPECT_EQ(at(0).outputURL, dir / "out/img0.jpg");
}

}  // namespace
}  // namespace krumple::test
