// Store fields, queries, removal and change notices.

#include "list_totals.h"
#include "test_support.h"

namespace krumple::test {
namespace {

// Records every change, and runs `also` on each.
struct ChangeLog : StoreObserver {
    std::vector<StoreChange> changes;
    std::function<void()> also;
    void storeChanged(const StoreChange& change) override {
        changes.push_back(change);
        if (also) also();
    }
};

class StoreStateTest : public StoreTest {
protected:
    void addThree() {
        makeJpeg(dir / "a.jpg");
        makeJpeg(dir / "b.jpg");
        makePng(dir / "c.png");
        ASSERT_EQ(addAndWait({dir / "a.jpg", dir / "b.jpg", dir / "c.png"}), 3u);
    }
};

TEST_F(StoreStateTest, WhatANewWindowStartsWithAndWhenItCanConvert) {
    EXPECT_EQ(store->format(), OutputFormat::available().at(0));
    EXPECT_EQ(store->quality(), 0.8);
    EXPECT_EQ(store->outputMode(), OutputMode::alongside);
    EXPECT_FALSE(store->canConvert());  // nothing listed
    addThree();
    EXPECT_TRUE(store->canConvert());
    store->setOutputMode(OutputMode::folder);
    EXPECT_FALSE(store->canConvert());
    store->startConversion();  // refused: no folder
    EXPECT_FALSE(store->isRunning());
    store->setOutputFolder(dir / "out");
    EXPECT_TRUE(store->canConvert());
}

TEST_F(StoreStateTest, DuringABatchNothingIsRemovedOrStartedAgain) {
    addThree();
    store->setSelection(at(0).id);
    store->startConversion();
    EXPECT_FALSE(store->canConvert());
    const auto before = store->items();
    store->remove(at(1).id);
    store->removeSelected();
    store->clear();
    EXPECT_EQ(store->items(), before);
    EXPECT_EQ(store->selection(), at(0).id);
    finishBatch();
}

TEST_F(StoreStateTest, SelectionFollowsRemoval) {
    addThree();
    const ItemId a = at(0).id, b = at(1).id, c = at(2).id;
    store->setSelection(b);
    store->remove(a);  // another row: the selection stays
    EXPECT_EQ(store->selectedItem().value().id, b);
    store->remove(b);
    EXPECT_FALSE(store->selection());
    ASSERT_EQ(fileNames(), std::vector<std::string>{"c.png"});
    EXPECT_EQ(store->row(c), 0u);
    EXPECT_EQ(store->item(a), nullptr);
}

TEST_F(StoreStateTest, ResultsAndTotals) {
    addThree();
    store->finish(JobResult{at(0).id, JobOutput{100}, std::nullopt});
    store->finish(JobResult{at(1).id, std::nullopt, std::nullopt});  // neither size nor text
    EXPECT_EQ(at(1).status, ItemStatus::failure(Failure{}));
    // Originals count every item, whatever its status; outputs only the done ones.
    const ListTotals sums = totalsOf(store->items());
    EXPECT_EQ(sums.originals, at(0).originalSize + at(1).originalSize + at(2).originalSize);
    EXPECT_EQ(sums.doneOutputs, 100);
    EXPECT_EQ(sums.doneOriginals, at(0).originalSize);
    EXPECT_EQ(sums.done, 1);
    EXPECT_EQ(sums.kept, 0);
}

TEST_F(StoreStateTest, ObserversLearnTheFieldAndTheRows) {
    addThree();
    const ItemId a = at(0).id, c = at(2).id;
    ChangeLog log;
    store->subscribe(&log);
    store->setQuality(0.5);
    store->setQuality(0.5);  // the same value: no notice
    store->finish(JobResult{c, JobOutput{10}, std::nullopt});
    store->remove(a);
    store->unsubscribe(&log);

    using Edit = StoreChange::ItemsEdit;
    using Rows = std::vector<std::size_t>;
    ASSERT_EQ(log.changes.size(), 3u);
    EXPECT_EQ(log.changes[0].field, StoreField::quality);
    EXPECT_EQ(std::tie(log.changes[1].edit, log.changes[1].ids, log.changes[1].rows), std::tuple(Edit::updated, std::vector{c}, Rows{2}));
    // A removal tells the row the item had.
    EXPECT_EQ(std::tie(log.changes[2].edit, log.changes[2].ids, log.changes[2].rows), std::tuple(Edit::removed, std::vector{a}, Rows{0}));
}

TEST_F(StoreStateTest, AnObserverMayUnsubscribeAnotherWhileBeingTold) {
    ChangeLog remover, victim;
    remover.also = [&] { store->unsubscribe(&victim); };
    store->subscribe(&remover);
    store->subscribe(&victim);
    store->setStripMetadata(true);
    EXPECT_TRUE(victim.changes.empty());
    store->unsubscribe(&remover);
}

}  // namespace
}  // namespace krumple::test
