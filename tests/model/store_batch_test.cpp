// Whole batches through the store, converting real little images.

#include <sched.h>

#include <algorithm>

#include "fmt.h"
#include "image_io.h"
#include "list_totals.h"
#include "test_support.h"

namespace krumple::test {
namespace {

class BatchTest : public StoreTest {
protected:
    BatchTest() { store->setFormat(OutputFormat::jpeg); }

    void addPictures(std::size_t count) {
        std::vector<fs::path> files;
        for (std::size_t i = 0; i < count; ++i) {
            files.push_back(dir / ("img" + std::to_string(i) + ".png"));
            makePng(files.back());
        }
        ASSERT_EQ(addAndWait(files), count);
    }
    std::size_t filesIn(const fs::path& folder) const {
        const auto all = fs::directory_iterator(folder);
        return static_cast<std::size_t>(std::distance(fs::begin(all), fs::end(all)));
    }
};

TEST_F(BatchTest, ASecondBatchRewritesItsOwnOutputsAndRetriesFailures) {
    addPictures(3);
    fs::remove(dir / "img2.png");
    store->startConversion();
    finishBatch();
    EXPECT_EQ(at(0).outputURL, dir / "img0.jpg");
    EXPECT_EQ(at(2).status, ItemStatus::failure(ConvertError::unreadable));
    EXPECT_FALSE(at(2).outputURL);
    const auto first = at(1).outputURL;

    makePng(dir / "img2.png");
    store->startConversion();
    finishBatch();
    for (const auto& it : store->items()) {
        EXPECT_EQ(it.status, ItemStatus::done) << Fmt::failureText(it.status.reason());
        EXPECT_EQ(it.revision, 2);
        EXPECT_EQ(it.outputSize, static_cast<std::int64_t>(fs::file_size(it.outputURL.value())));
    }
    EXPECT_EQ(at(1).outputURL, first);
    EXPECT_EQ(filesIn(dir.path()), 6u);  // no " krumpled" copies
}

// Only the item's latest output is its own: an earlier name, taken since by
// someone else's file, is never written over when the item comes back to it.
TEST_F(BatchTest, AnEarlierOutputNameTakenByAnotherFileIsLeftAlone) {
    addPictures(1);
    store->startConversion();
    finishBatch();
    ASSERT_EQ(at(0).outputURL, dir / "img0.jpg");
    store->setFormat(OutputFormat::webp);
    store->startConversion();
    finishBatch();
    ASSERT_EQ(at(0).outputURL, dir / "img0.webp");
    writeText(dir / "img0.jpg", "someone else's");
    store->setFormat(OutputFormat::jpeg);
    store->startConversion();
    finishBatch();
    EXPECT_EQ(at(0).status, ItemStatus::done) << Fmt::failureText(at(0).status.reason());
    EXPECT_NE(at(0).outputURL, dir / "img0.jpg");
    EXPECT_EQ(readFile(dir / "img0.jpg"), "someone else's");
}

// Cancelled at once, a batch reports exactly the jobs it launched: as many as
// its limit. The rest stay pending, keeping the names they were given.
struct Limit {
    std::optional<int> processorCount;  // absent: the store's own, one per core
    std::size_t launched;               // 0: as many as this process has cores
};

void PrintTo(const Limit& l, std::ostream* os) { *os << (l.processorCount ? std::to_string(*l.processorCount) : "default") << " cores"; }

class BatchLimit : public BatchTest, public ::testing::WithParamInterface<Limit> {};

TEST_P(BatchLimit, CancelledAtOnceTheLaunchedFailAndTheRestStayPending) {
    addPictures(5);
    cpu_set_t cores;
    ASSERT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
    const std::size_t launched = GetParam().launched ? GetParam().launched : std::min(static_cast<std::size_t>(CPU_COUNT(&cores)), std::size_t{5});
    if (const auto count = GetParam().processorCount) store->setProcessorCount([count] { return *count; });
    store->startConversion();
    store->cancelRunTask();
    finishBatch();
    EXPECT_EQ(store->completed(), static_cast<std::int64_t>(launched));
    EXPECT_EQ(store->total(), 5);
    for (std::size_t i = 0; i < 5; ++i) {
        const bool ran = i < launched;
        EXPECT_EQ(at(i).status, ran ? ItemStatus::failure(ConvertError::cancelled) : ItemStatus::pending) << i;
        EXPECT_EQ(at(i).outputURL.has_value(), !ran) << i;
        EXPECT_EQ(at(i).revision, ran ? 1 : 0) << i;
    }
    EXPECT_EQ(filesIn(dir.path()), 5u);  // nothing written, nothing left half-written
}

INSTANTIATE_TEST_SUITE_P(ProcessorCounts, BatchLimit,
                         ::testing::Values(Limit{std::nullopt, 0}, Limit{3, 3}, Limit{0, 1}, Limit{-2, 1}));

TEST_F(BatchTest, TheSettingsAreTakenOnceAtTheStart) {
    store->setMaxWidth(10);
    EXPECT_FALSE(store->settingsSnapshot().maxWidth);  // the limit is off
    store->setLimitWidth(true);
    addPictures(2);
    store->startConversion();
    store->setFormat(OutputFormat::png);
    store->setLimitWidth(false);
    finishBatch();
    for (const auto& it : store->items()) {
        ASSERT_EQ(it.status, ItemStatus::done);
        EXPECT_TRUE(readFile(*it.outputURL).starts_with("\xFF\xD8"));  // JPEG, as at the start
        EXPECT_EQ(vips::VImage::new_from_file(it.outputURL->c_str()).width(), 16);  // 10 is raised to 16
    }
}

TEST_F(BatchTest, AFileThatAppearsAtTheOutputAfterNamingIsLeftAlone) {
    addPictures(1);
    store->startConversion();
    // Workers wait for the main thread before converting: this lands first.
    const fs::path dst = at(0).outputURL.value();
    writeText(dst, "someone else's");
    finishBatch();
    EXPECT_EQ(at(0).status, ItemStatus::failure(ConvertError::encodeFailed));
    EXPECT_EQ(readFile(dst), "someone else's");
    EXPECT_EQ(filesIn(dir.path()), 2u);  // no temporary left behind
}

// Relative paths of the regular files under `folder`, sorted.
std::vector<std::string> treeOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(e.path().lexically_relative(folder).native());
    std::sort(names.begin(), names.end());
    return names;
}

// An 8×8 PNG comes out larger as a JPEG; a PNG stored uncompressed comes out
// smaller. Run twice: the second batch finds the first one's files.
class OnlySmaller : public BatchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OnlySmaller, AnOutputNoSmallerNeverAppearsAndTheOriginalCounts) {
    const bool intoFolder = GetParam();
    makePng(dir / "src/tiny.png", 8, 8);
    vips::VImage::black(200, 200, vips::VImage::option()->set("bands", 3))
        .pngsave((dir / "src/plain.png").c_str(), vips::VImage::option()->set("compression", 0));
    ASSERT_EQ(addAndWait({dir / "src"}), 2u);
    store->setOnlySmaller(true);
    if (intoFolder) {
        fs::create_directory(dir / "out");
        store->setOutputFolder(dir / "out");
        store->setOutputMode(OutputMode::folder);
    }
    const fs::path outputs = intoFolder ? dir / "out" : dir / "src";
    const auto expected = intoFolder ? std::vector<std::string>{"plain.jpg", "tiny.png"}
                                     : std::vector<std::string>{"plain.jpg", "plain.png", "tiny.png"};
    for (int batch = 1; batch <= 2; ++batch) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        store->startConversion();
        finishBatch();
        const ImageItem& plain = at(0);
        const ImageItem& tiny = at(1);
        ASSERT_EQ(plain.status, ItemStatus::done) << Fmt::failureText(plain.status.reason());
        ASSERT_EQ(tiny.status, ItemStatus::done) << Fmt::failureText(tiny.status.reason());
        EXPECT_FALSE(plain.rejectedOutputSize);
        EXPECT_EQ(plain.outputURL, outputs / "plain.jpg");
        EXPECT_LT(plain.outputSize.value(), plain.originalSize);
        ASSERT_TRUE(tiny.rejectedOutputSize);
        EXPECT_GE(*tiny.rejectedOutputSize, tiny.originalSize);
        EXPECT_EQ(tiny.outputSize, tiny.originalSize);
        // Into a folder the original is copied, byte for byte; alongside it is its own result.
        EXPECT_EQ(tiny.outputURL, outputs / "tiny.png");
        EXPECT_EQ(readFile(outputs / "tiny.png"), readFile(dir / "src/tiny.png"));
        EXPECT_EQ(treeOf(outputs), expected);
        const ListTotals sums = totalsOf(store->items());
        EXPECT_EQ(sums.doneOutputs, *plain.outputSize + tiny.originalSize);
        EXPECT_EQ(sums.kept, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(OutputModes, OnlySmaller, ::testing::Values(false, true),
                         [](const auto& mode) { return mode.param ? "IntoAFolder" : "NextToTheOriginals"; });

// Same-named files in several folders, dropped in two goes (one folder twice)
// and one file on its own; converted twice, the second batch rewriting the first.
TEST_F(BatchTest, TheStructureIsKeptAcrossDropsAndBatches) {
    for (const char* name : {"lib/2023/img1.png", "lib/2024/img1.png", "lib/2024/trip/img1.png", "lib/img1.png",
                             "more/img1.png", "loose/img1.png"})
        makePng(dir / name);
    ASSERT_EQ(addAndWait({dir / "lib"}), 4u);
    ASSERT_EQ(addAndWait({dir / "lib", dir / "more", dir / "loose/img1.png"}), 2u);
    fs::create_directory(dir / "out");
    store->setOutputFolder(dir / "out");
    store->setOutputMode(OutputMode::folder);
    store->setKeepStructure(true);
    for (int batch = 1; batch <= 2; ++batch) {
        store->startConversion();
        finishBatch();
        for (const auto& it : store->items()) EXPECT_EQ(it.status, ItemStatus::done) << Fmt::failureText(it.status.reason());
        EXPECT_EQ(treeOf(dir / "out"), (std::vector<std::string>{"img1.jpg", "lib/2023/img1.jpg", "lib/2024/img1.jpg",
                                                                 "lib/2024/trip/img1.jpg", "lib/img1.jpg",
                                                                 "more/img1.jpg"})) << "batch " << batch;
    }
}

}  // namespace
}  // namespace krumple::test
