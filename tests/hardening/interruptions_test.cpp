// Interrupting a batch: Cancel at many random moments, and the command-line
// front end killed outright. Afterwards the counts add up, sources are
// byte-identical and no final output name holds a partial file.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "child_process.h"
#include "harness.h"

namespace krumple::test {
namespace {

using Clock = std::chrono::steady_clock;
// Random moments, reproducible with KRUMPLE_SEED=<n>; otherwise fresh each run.
class Interruptions : public Batch {
protected:
    const char* fixed = std::getenv("KRUMPLE_SEED");
    const std::uint32_t seed = fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10)) : std::random_device{}();
    std::mt19937 random{seed};

    // After a cancelled run into `folder`: never-launched items stay pending,
    // none is still converting, only whole outputs exist and no source changed.
    // Returns whether the cancel stopped something.
    bool expectCancelledCleanly(const fs::path& folder, const FolderSnapshot& before) {
        const Strings texts = outcomes();
        for (const auto& text : texts) EXPECT_TRUE(text == "done" || text == "Cancelled" || text == "pending") << text;
        EXPECT_EQ(store->completed() + std::ranges::count(texts, "pending"), store->total());
        EXPECT_EQ(store->total(), 6);
        expectExactly(folder, outputs());
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
        return outputs().size() < 6;
    }
};

TEST_F(Interruptions, CancelAtRandomMomentsLeavesEveryBatchConsistent) {
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(seed));
    addSources(6, 64);
    const FolderSnapshot before(src);
    constexpr int runs = 120;
    int cancelledSomething = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        store = std::make_shared<Store>(queue.executor());
        ASSERT_EQ(addAndWait({src}), 6u);
        convertInto(out / std::to_string(run), OutputFormat::jpeg, false);

        // A random moment: some results delivered, the rest in flight or not begun.
        const auto deadline = Clock::now() + std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random));
        for (int events = std::uniform_int_distribution<int>(0, 12)(random); events > 0 && Clock::now() < deadline;)
            events -= queue.runOne(std::chrono::milliseconds(1)) ? 1 : 0;
        std::this_thread::sleep_until(deadline);
        store->cancelRunTask();
        if (random() % 4 == 0) store->cancelRunTask();  // a second press changes nothing
        finishBatch();
        tally("faults");
        cancelledSomething += expectCancelledCleanly(out / std::to_string(run), before) ? 1 : 0;
    }
    // The moments must really spread over the batch, or the runs prove little.
    EXPECT_GT(cancelledSomething, runs / 4);
}

// Every output comes out larger and each original is copied instead: a
// cancel finds jobs encoding or copying, and either way they finish whole.
TEST_F(Interruptions, CancelAtRandomMomentsWhileOriginalsAreKept) {
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(seed));
    addSources(6, 160, "jpg");
    const FolderSnapshot before(src);
    constexpr int runs = 40;
    int cancelledSomething = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        store = std::make_shared<Store>(queue.executor());
        ASSERT_EQ(addAndWait({src}), 6u);
        store->setOnlySmaller(true);
        convertInto(out / std::to_string(run), OutputFormat::png, false);
        const auto deadline = Clock::now() + std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(random));
        while (Clock::now() < deadline) queue.runOne(std::chrono::milliseconds(1));
        store->cancelRunTask();
        finishBatch();
        tally("faults");
        for (const auto& it : store->items()) {
            if (it.status.kind() != ItemStatus::done) continue;
            EXPECT_TRUE(it.rejectedOutputSize) << it.url;
            EXPECT_EQ(readFile(it.outputURL.value()), readFile(it.url)) << it.url;
        }
        cancelledSomething += expectCancelledCleanly(out / std::to_string(run), before) ? 1 : 0;
    }
    EXPECT_GT(cancelledSomething, runs / 4);
}

// Each kill lands while the first original is being copied: a preloaded shim
// slows copying and says when it has begun. The copy never appears. Where
// copying between files is refused, copies are read and written, whole.
TEST_F(Interruptions, KilledDuringAKeptCopyLeavesNoPartialCopy) {
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(seed));
    addSources(2, 500, "jpg");
    const FolderSnapshot before(src);
    const auto chunks = static_cast<int>((fs::file_size(src / "p0.jpg") + 32767) / 32768);
    ASSERT_GE(chunks, 4);
    const auto cli = [&](const fs::path& folder, const fs::path& mark, bool refuse = false) {
        const char* asan = std::getenv("ASAN_OPTIONS");
        Strings environment{std::string("LD_PRELOAD=") + KRUMPLE_SLOW_COPY_PATH, "KRUMPLE_COPY_MARK=" + mark.string(),
                            // The shim comes before the sanitizer's runtime.
                            std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"};
        if (refuse) environment.push_back("KRUMPLE_COPY_REFUSE=1");
        return std::make_unique<ChildProcess>(
            KRUMPLE_CLI_PATH,
            Strings{"--only-smaller", "--format", "png", "--jobs", "1", "--out", folder.string(), src.string()},
            dir.path().string(), environment);
    };
    auto whole = cli(dir / "whole", dir / "whole.mark");
    ASSERT_EQ(whole->wait(), 0) << whole->err;
    ASSERT_EQ(filesUnder(dir / "whole").size(), 2u);
    ASSERT_GE(fs::file_size(dir / "whole.mark"), static_cast<std::uintmax_t>(2 * chunks)) << "the shim was not used";
    auto refused = cli(dir / "refused", dir / "refused.mark", true);
    ASSERT_EQ(refused->wait(), 0) << refused->err;
    ASSERT_TRUE(fs::exists(dir / "refused.mark")) << "the shim was not used";
    ASSERT_EQ(filesUnder(dir / "refused").size(), 2u);
    for (const fs::path& copy : filesUnder(dir / "refused"))
        EXPECT_EQ(readFile(copy), readFile(src / copy.filename())) << copy;

    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        const fs::path killed = dir / "killed" / std::to_string(k);
        const fs::path mark = dir / ("killed-" + std::to_string(k) + ".mark");
        auto child = cli(killed, mark);
        const auto giveUp = Clock::now() + std::chrono::seconds(60);
        while (!fs::exists(mark) && Clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(fs::exists(mark)) << "no copy began";
        // Within the first half of that copy's 25 ms steps.
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(0, chunks * 25 / 2)(random)));
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        EXPECT_LT(fs::file_size(mark), static_cast<std::uintmax_t>(chunks)) << "the copy had ended";
        EXPECT_EQ(filesUnder(killed), std::vector<fs::path>{});
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

TEST_F(Interruptions, KilledCommandLineLeavesNoPartialOutput) {
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(seed));
    addSources(6, 700);
    const FolderSnapshot before(src);
    const auto cli = [&](const fs::path& folder) {
        return std::make_unique<ChildProcess>(
            KRUMPLE_CLI_PATH, Strings{"--format", "png", "--jobs", "2", "--out", folder.string(), src.string()},
            dir.path().string());
    };
    // One whole run sets the window the kills are spread over, and the bytes
    // every output must have.
    const auto started = Clock::now();
    ASSERT_EQ(cli(dir / "whole")->wait(), 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    ASSERT_EQ(filesUnder(dir / "whole").size(), 6u);

    for (int k = 0; k < 12; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        const fs::path killed = dir / "killed" / std::to_string(k);
        auto child = cli(killed);
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<std::int64_t>(0, whole.count())(random)));
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        // Outputs are unnamed until complete: a kill leaves no temporary either.
        const std::vector<fs::path> files = filesUnder(killed);
        for (const auto& file : files) EXPECT_EQ(readFile(file), readFile(dir / "whole" / file.filename())) << file;
        EXPECT_EQ(brokenFiles(files), std::vector<fs::path>{});
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

}  // namespace
}  // namespace krumple::test
