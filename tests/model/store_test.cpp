// Store fields, queries, removal and change notices.

#include <algorithm>

#include "test_support.h"

namespace krumple::test {
namespace {

class StoreStateTest : public StoreTest {
protected:
    void addThree() {
        makeJpeg(dir / "a.jpg");
        makeJpeg(dir / "b.jpg");
        makePng(dir / "c.png");
        ASSERT_EQ(addAndWait({dir / "a.jpg", dir / "b.jpg", dir / "c.png"}), 3u);
    }
};

TEST_F(StoreStateTest, FreshStoreHasTheDefaults) {
    EXPECT_TRUE(store->items().empty());
    EXPECT_FALSE(store->selection());
    const auto& available = OutputFormat::available();
    EXPECT_EQ(store->format(), available.empty() ? OutputFormat(OutputFormat::jpeg) : available.front());
    EXPECT_EQ(store->quality(), 0.8);
    EXPECT_FALSE(store->limitWidth());
    EXPECT_EQ(store->maxWidth(), 2048);
    EXPECT_FALSE(store->stripMetadata());
    EXPECT_EQ(store->outputMode(), OutputMode::alongside);
    EXPECT_FALSE(store->outputFolder());
    EXPECT_FALSE(store->isRunning());
    EXPECT_EQ(store->completed(), 0);
    EXPECT_EQ(store->total(), 0);
    EXPECT_FALSE(store->hasRunTask());
    EXPECT_FALSE(store->canConvert());
}

TEST_F(StoreStateTest, CanConvertNeedsItemsNoBatchAndAFolderInFolderMode) {
    addThree();
    EXPECT_TRUE(store->canConvert());
    store->setOutputMode(OutputMode::folder);
    EXPECT_FALSE(store->canConvert());
    store->setOutputFolder(dir / "out");
    EXPECT_TRUE(store->canConvert());
    store->setOutputMode(OutputMode::alongside);
    store->startConversion();
    EXPECT_TRUE(store->isRunning());
    EXPECT_FALSE(store->canConvert());
    finishBatch();
    EXPECT_TRUE(store->canConvert());
}

TEST_F(StoreStateTest, SelectionFollowsRemoval) {
    addThree();
    const ItemId a = at(0).id, b = at(1).id, c = at(2).id;
    store->setSelection(b);
    ASSERT_TRUE(store->selectedItem());
    EXPECT_EQ(store->selectedItem()->id, b);

    store->remove(a);  // another row: the selection stays
    EXPECT_EQ(store->selection(), b);
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"b.jpg", "c.png"}));

    store->remove(b);
    EXPECT_FALSE(store->selection());
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"c.png"}));

    store->setSelection(ItemId::random());  // an id no row has
    EXPECT_FALSE(store->selectedItem());
    store->removeSelected();
    EXPECT_FALSE(store->selection());
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->row(c), 0u);
    EXPECT_EQ(store->item(a), nullptr);
}

TEST_F(StoreStateTest, RemovalAndClearAreRefusedDuringABatch) {
    addThree();
    store->setSelection(at(0).id);
    store->startConversion();
    const auto before = store->items();
    store->remove(at(1).id);
    store->removeSelected();
    store->clear();
    EXPECT_EQ(store->items(), before);
    EXPECT_EQ(store->selection(), at(0).id);
    finishBatch();
}

TEST_F(StoreStateTest, ClearKeepsSettingsAndCounts) {
    addThree();
    store->setQuality(0.5);
    store->setLimitWidth(true);
    store->startConversion();
    finishBatch();
    store->setSelection(at(0).id);
    store->clear();
    EXPECT_TRUE(store->items().empty());
    EXPECT_FALSE(store->selection());
    EXPECT_EQ(store->completed(), 3);
    EXPECT_EQ(store->total(), 3);
    EXPECT_EQ(store->quality(), 0.5);
    EXPECT_TRUE(store->limitWidth());
}

TEST_F(StoreStateTest, TotalsCountWhatTheyShould) {
    addThree();
    const std::int64_t sizes = at(0).originalSize + at(1).originalSize + at(2).originalSize;
    EXPECT_GT(at(0).originalSize, 0);
    EXPECT_EQ(store->totalOriginals(), sizes);
    EXPECT_EQ(store->doneOutputs(), 0);

    store->finish(JobResult{at(0).id, 100, std::nullopt});
    store->finish(JobResult{at(1).id, std::nullopt, "Couldn't decode the image"});
    EXPECT_EQ(store->totalOriginals(), sizes);  // failed and pending ones too
    EXPECT_EQ(store->doneOutputs(), 100);
    ASSERT_EQ(store->doneItems().size(), 1u);
    EXPECT_EQ(store->doneItems().front().id, at(0).id);
}

TEST_F(StoreStateTest, AResultWithoutSizeOrMessageReadsFailed) {
    addThree();
    store->finish(JobResult{at(0).id, 42, std::nullopt});
    store->finish(JobResult{at(0).id, std::nullopt, std::nullopt});
    EXPECT_EQ(at(0).status, ItemStatus::failure("Failed"));
    EXPECT_FALSE(at(0).outputURL);
    EXPECT_FALSE(at(0).outputSize);
    EXPECT_EQ(at(0).revision, 2);
}

TEST_F(StoreStateTest, ObserversLearnTheFieldAndTheRows) {
    addThree();
    ChangeLog log;
    store->subscribe(&log);

    store->setQuality(0.5);
    store->setQuality(0.5);  // same value: no notice
    store->setFormat(OutputFormat::png);
    store->setSelection(at(1).id);
    ASSERT_EQ(log.changes.size(), 3u);
    EXPECT_EQ(log.changes[0].field, StoreField::quality);
    EXPECT_EQ(log.changes[1].field, StoreField::format);
    EXPECT_EQ(log.changes[2].field, StoreField::selection);

    log.changes.clear();
    store->finish(JobResult{at(2).id, 10, std::nullopt});
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_EQ(log.changes[0].field, StoreField::items);
    EXPECT_EQ(log.changes[0].edit, StoreChange::ItemsEdit::updated);
    EXPECT_EQ(log.changes[0].ids, std::vector<ItemId>{at(2).id});
    EXPECT_EQ(log.changes[0].rows, std::vector<std::size_t>{2});

    log.changes.clear();
    const ItemId first = at(0).id;
    store->remove(first);
    ASSERT_EQ(log.count(StoreField::items), 1u);
    EXPECT_EQ(log.changes[0].edit, StoreChange::ItemsEdit::removed);
    EXPECT_EQ(log.changes[0].ids, std::vector<ItemId>{first});
    EXPECT_EQ(log.changes[0].rows, std::vector<std::size_t>{0});
    EXPECT_EQ(store->row(at(1).id), 1u);  // rows renumbered after the removal

    log.changes.clear();
    makeJpeg(dir / "d.jpg");
    addAndWait({dir / "d.jpg"});
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_EQ(log.changes[0].edit, StoreChange::ItemsEdit::appended);
    EXPECT_EQ(log.changes[0].rows, std::vector<std::size_t>{2});
    store->unsubscribe(&log);
}

TEST_F(StoreStateTest, AnObserverMayUnsubscribeAnotherWhileBeingTold) {
    struct Remover : StoreObserver {
        Store* store = nullptr;
        StoreObserver* victim = nullptr;
        void storeChanged(const StoreChange&) override { store->unsubscribe(victim); }
    };
    ChangeLog victim;
    Remover remover;
    remover.store = store.get();
    remover.victim = &victim;
    store->subscribe(&remover);
    store->subscribe(&victim);
    store->setStripMetadata(true);
    EXPECT_TRUE(victim.changes.empty());
    store->unsubscribe(&remover);
}

}  // namespace
}  // namespace krumple::test
