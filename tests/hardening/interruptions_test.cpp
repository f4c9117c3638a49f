// Interrupting a batch at chosen points of the work, never at moments on a
// clock: Cancel between any two of the batch's reports and in the middle of
// copying a kept original, and the command line killed inside a copy or just
// before an output takes its name. Afterwards the counts add up, sources are
// byte-identical and no final output name holds a partial file.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "child_process.h"
#include "copy_gate.h"
#include "harness.h"

namespace krumple::test {
namespace {

class Interruptions : public Batch {
protected:
    void freshStore() {
        store = std::make_shared<Store>(queue.executor());
        store->setProcessorCount([] { return 2; });
        ASSERT_EQ(addAndWait({src}), 6u);
    }

    // Items that had begun (converting or done) when the cancel came.
    std::set<fs::path> begun() const {
        std::set<fs::path> urls;
        for (const auto& it : store->items())
            if (it.status.kind() != ItemStatus::pending) urls.insert(it.url);
        return urls;
    }

    // After a cancelled run into `folder`: only items begun before the cancel
    // are done (a begun one may still report Cancelled), the rest pending or
    // Cancelled, only whole outputs exist and no source changed.
    void expectCancelledCleanly(const fs::path& folder, const FolderSnapshot& before, const std::set<fs::path>& begun) {
        EXPECT_EQ(store->total(), 6);
        EXPECT_EQ(store->completed() + std::ranges::count(outcomes(), "pending"), store->total());
        const Strings texts = outcomes();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const fs::path& url = store->items()[i].url;
            if (texts[i] == "done") {
                EXPECT_TRUE(begun.contains(url)) << url << " began after the cancel";
            } else {
                EXPECT_TRUE(texts[i] == "Cancelled" || texts[i] == "pending") << url << ": " << texts[i];
            }
        }
        expectExactly(folder, outputs());
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }

    std::size_t doneCount() const { return outputs().size(); }
};

// Each job reports to the main thread as it begins and as it ends, and waits
// there: a cancel after the k-th report lands at a known point, from before
// the first launch (k = 0) to after the last result (k = 12).
TEST_F(Interruptions, CancelAfterAnyReportLeavesTheBatchConsistent) {
    addSources(6, 64);
    const FolderSnapshot before(src);
    for (int run = 0; run < 39; ++run) {
        const int reports = run % 13;
        SCOPED_TRACE("run " + std::to_string(run) + ", cancelled after " + std::to_string(reports) + " reports");
        freshStore();
        const fs::path folder = out / std::to_string(run);
        convertInto(folder, OutputFormat::jpeg, false);
        for (int i = 0; i < reports; ++i) ASSERT_TRUE(queue.runOne(std::chrono::minutes(2)));
        const std::set<fs::path> wasBegun = begun();
        store->cancelRunTask();
        if (run % 3 == 1) store->cancelRunTask();  // a second press changes nothing
        finishBatch();
        tally("faults");
        expectCancelledCleanly(folder, before, wasBegun);
        if (reports == 0 || reports == 12) {
            EXPECT_EQ(doneCount(), reports == 0 ? 0u : 6u);
        }
    }
}

// Every output comes out larger and each original is copied instead. A
// cancel before anything begins, in the middle of a copy (held there until
// the cancel has been given) and after the last copy: copies finish whole.
TEST_F(Interruptions, CancelWhileOriginalsAreKept) {
    addSources(6, 160, "jpg");
    ASSERT_GT(fs::file_size(src / "p0.jpg"), 8192u) << "too small to be copied in steps";
    const FolderSnapshot before(src);
    enum Point { beforeAnyLaunch, midCopy, afterLastCopy };
    int run = 0;
    for (const Point point : {beforeAnyLaunch, midCopy, afterLastCopy, midCopy}) {
        SCOPED_TRACE("point " + std::to_string(point));
        freshStore();
        store->setOnlySmaller(true);
        const fs::path folder = out / std::to_string(run++);
        if (point == midCopy) copy_gate::holdFrom(2);  // one 4 kB step copied, the next one held
        convertInto(folder, OutputFormat::png, false);
        if (point == midCopy) {
            ASSERT_TRUE(queue.runUntil(copy_gate::holding));
        } else if (point == afterLastCopy) {
            ASSERT_TRUE(queue.runUntil([&] { return store->completed() == 6; }));
        }
        const std::set<fs::path> wasBegun = begun();
        store->cancelRunTask();
        copy_gate::open();
        finishBatch();
        tally("faults");
        for (const auto& it : store->items()) {
            if (it.status.kind() != ItemStatus::done) continue;
            EXPECT_TRUE(it.rejectedOutputSize) << it.url;
            EXPECT_TRUE(readFile(it.outputURL.value()) == readFile(it.url)) << it.url << ": the copy differs";
        }
        expectCancelledCleanly(folder, before, wasBegun);
        switch (point) {
        case beforeAnyLaunch: EXPECT_EQ(doneCount(), 0u); break;
        case midCopy: EXPECT_GE(doneCount(), 1u); break;  // the held copy had begun and went on
        case afterLastCopy: EXPECT_EQ(doneCount(), 6u); break;
        }
    }
}

// Runs the command line over `src` into `folder` with the hold shim.
std::unique_ptr<ChildProcess> shimmedCli(const fs::path& src, const fs::path& folder, const std::string& format,
                                         const std::string& jobs, const Strings& settings, bool onlySmaller = false) {
    Strings args{"--format", format, "--jobs", jobs, "--out", folder.string(), src.string()};
    if (onlySmaller) args.insert(args.begin(), "--only-smaller");
    return std::make_unique<ChildProcess>(KRUMPLE_CLI_PATH, args, folder.parent_path().string(),
                                          withHoldShim(settings));
}

// Waits until `mark` holds `calls` bytes: that many watched calls were made.
// The bound only ends a run that will never get there.
bool reached(const fs::path& mark, std::uintmax_t calls) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    std::error_code error;
    while (fs::file_size(mark, error) < calls || error) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Each kill lands while the first original is being copied: the shim holds
// the copy at a chosen step. The copy never appears. Where copying between
// files is refused, copies are read and written, whole.
TEST_F(Interruptions, KilledDuringAKeptCopyLeavesNoPartialCopy) {
    addSources(2, 500, "jpg");
    const FolderSnapshot before(src);
    const auto steps = static_cast<int>((fs::file_size(src / "p0.jpg") + 32767) / 32768);
    ASSERT_GE(steps, 4);
    const auto whole = shimmedCli(src, dir / "whole", "png", "1", {"KRUMPLE_COPY_MARK=" + (dir / "whole.mark").string()}, true);
    ASSERT_EQ(whole->wait(), 0) << whole->err;
    ASSERT_EQ(filesUnder(dir / "whole").size(), 2u);
    ASSERT_GE(fs::file_size(dir / "whole.mark"), static_cast<std::uintmax_t>(2 * steps)) << "the shim was not used";
    const auto refused = shimmedCli(src, dir / "refused", "png", "1",
                                    {"KRUMPLE_COPY_MARK=" + (dir / "refused.mark").string(), "KRUMPLE_COPY_REFUSE=1"}, true);
    ASSERT_EQ(refused->wait(), 0) << refused->err;
    ASSERT_TRUE(fs::exists(dir / "refused.mark")) << "the shim was not used";
    ASSERT_EQ(filesUnder(dir / "refused").size(), 2u);
    for (const fs::path& copy : filesUnder(dir / "refused"))
        EXPECT_TRUE(readFile(copy) == readFile(src / copy.filename())) << copy << " differs from its source";

    // Held at the second step, the middle one and the last (which would find the end).
    for (const int step : {2, (steps + 1) / 2, steps + 1}) {
        SCOPED_TRACE("held at step " + std::to_string(step));
        const fs::path killed = dir / "killed" / std::to_string(step);
        const fs::path mark = dir / ("killed-" + std::to_string(step) + ".mark");
        fs::create_directories(killed);
        auto child = shimmedCli(src, killed, "png", "1",
                                {"KRUMPLE_COPY_MARK=" + mark.string(), "KRUMPLE_COPY_HOLD=" + std::to_string(step)}, true);
        ASSERT_TRUE(reached(mark, static_cast<std::uintmax_t>(step))) << child->errSoFar();
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        EXPECT_EQ(filesUnder(killed), std::vector<fs::path>{});
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

// Killed with the k-th output done but not yet named: exactly the k - 1
// named before it exist, each whole, and no temporary is left.
TEST_F(Interruptions, KilledCommandLineLeavesNoPartialOutput) {
    addSources(6, 700);
    const FolderSnapshot before(src);
    fs::create_directories(dir / "whole");
    ASSERT_EQ(shimmedCli(src, dir / "whole", "png", "2", {})->wait(), 0);
    ASSERT_EQ(filesUnder(dir / "whole").size(), 6u);

    for (int k = 1; k <= 6; ++k) {
        SCOPED_TRACE("killed at output " + std::to_string(k));
        const fs::path killed = dir / "killed" / std::to_string(k);
        const fs::path mark = dir / ("link-" + std::to_string(k) + ".mark");
        fs::create_directories(killed);
        auto child = shimmedCli(src, killed, "png", "2",
                                {"KRUMPLE_LINK_MARK=" + mark.string(), "KRUMPLE_LINK_HOLD=" + std::to_string(k)});
        ASSERT_TRUE(reached(mark, static_cast<std::uintmax_t>(k))) << child->errSoFar();
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        const std::vector<fs::path> files = filesUnder(killed);
        EXPECT_EQ(files.size(), static_cast<std::size_t>(k - 1));
        for (const auto& file : files)
            EXPECT_TRUE(readFile(file) == readFile(dir / "whole" / file.filename())) << file << " differs from the whole run's";
        EXPECT_EQ(brokenFiles(files), std::vector<fs::path>{});
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

}  // namespace
}  // namespace krumple::test
