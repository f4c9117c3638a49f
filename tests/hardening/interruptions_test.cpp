// Interrupting a batch: Cancel at many random moments, and the command-line
// front end killed outright. Afterwards the counts add up, sources are
// byte-identical and no final output name holds a partial file.

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "harness.h"
#include "task_queue.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Reproducible with KRUMPLE_SEED=<n>; otherwise fresh each run and printed.
std::uint32_t seed() {
    if (const char* fixed = std::getenv("KRUMPLE_SEED")) return static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10));
    return std::random_device{}();
}

std::vector<fs::path> visibleFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& file : filesUnder(folder))
        if (!file.filename().string().starts_with(".")) files.push_back(file);
    return files;
}

TEST(Interruptions, CancelAtRandomMomentsLeavesEveryBatchConsistent) {
    TempDir dir;
    const fs::path src = dir / "src";
    for (int i = 0; i < 6; ++i) makeJpeg(src / ("p" + std::to_string(i) + ".jpg"), 64, 48);
    const FolderSnapshot before(src);
    const std::uint32_t s = seed();
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(s));
    std::mt19937 random(s);

    constexpr int runs = 120;
    int cancelledSomething = 0, cancelledNothing = 0;
    for (int run = 0; run < runs; ++run) {
        TaskQueue queue;
        auto store = std::make_shared<Store>(queue.executor());
        std::optional<std::size_t> added;
        store->add({src}, [&](std::size_t n) { added = n; });
        ASSERT_TRUE(queue.runUntil([&] { return added.has_value(); }));
        const fs::path out = dir / "out" / std::to_string(run);
        fs::create_directories(out);
        store->setOutputFolder(out);
        store->setOutputMode(OutputMode::folder);
        store->startConversion();

        // A random moment: some results delivered, the rest in flight or not begun.
        const auto wait = std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random));
        const auto deadline = Clock::now() + wait;
        for (int events = std::uniform_int_distribution<int>(0, 12)(random); events > 0 && Clock::now() < deadline;)
            events -= queue.runOne(1ms) ? 1 : 0;
        std::this_thread::sleep_until(deadline);
        store->cancelRunTask();
        if (random() % 4 == 0) store->cancelRunTask();  // a second press changes nothing
        ASSERT_TRUE(queue.runUntil([&] { return !store->isRunning(); }));
        tally("faults");

        std::int64_t pending = 0;
        std::vector<fs::path> outputs;
        for (const auto& it : store->items()) {
            switch (it.status.kind()) {
            case ItemStatus::pending: ++pending; break;
            case ItemStatus::done: outputs.push_back(it.outputURL.value()); break;
            case ItemStatus::failed: EXPECT_EQ(it.status.message(), "Cancelled"); break;
            case ItemStatus::converting: ADD_FAILURE() << "still converting after the batch ended"; break;
            }
        }
        EXPECT_EQ(store->completed() + pending, store->total()) << "run " << run;
        EXPECT_EQ(store->total(), 6);
        EXPECT_EQ(temporaries(out), std::vector<fs::path>{}) << "run " << run;
        EXPECT_EQ(visibleFiles(out).size(), outputs.size()) << "run " << run;
        EXPECT_EQ(brokenFiles(outputs), std::vector<fs::path>{}) << "run " << run;
        (outputs.size() < 6 ? cancelledSomething : cancelledNothing) += 1;
    }
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    // The moments must really spread over the batch, or the runs prove little.
    EXPECT_GT(cancelledSomething, runs / 4);
}

TEST(Interruptions, KilledCommandLineLeavesNoPartialOutput) {
    TempDir dir;
    const fs::path src = dir / "src";
    for (int i = 0; i < 6; ++i) makePng(src / ("p" + std::to_string(i) + ".png"), 900, 600);
    const FolderSnapshot before(src);
    const std::uint32_t s = seed();
    SCOPED_TRACE("KRUMPLE_SEED=" + std::to_string(s));
    std::mt19937 random(s);

    const auto convertInto = [&](const fs::path& out) {
        return std::make_unique<ChildProcess>(
            KRUMPLE_CLI_PATH, std::vector<std::string>{"--format", "png", "--jobs", "2", "--out", out.string(), src.string()},
            dir.path().string());
    };
    // One whole run sets the window the kills are spread over.
    const auto started = Clock::now();
    ASSERT_EQ(convertInto(dir / "whole")->wait(), 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    ASSERT_EQ(visibleFiles(dir / "whole").size(), 6u);

    constexpr int kills = 12;
    for (int k = 0; k < kills; ++k) {
        const fs::path out = dir / "killed" / std::to_string(k);
        fs::create_directories(out);
        auto child = convertInto(out);
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<std::int64_t>(0, whole.count())(random)));
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        // Outputs are unnamed until complete: a kill leaves no temporary either.
        EXPECT_EQ(filesUnder(out), visibleFiles(out)) << "kill " << k;
        EXPECT_EQ(brokenFiles(visibleFiles(out)), std::vector<fs::path>{}) << "kill " << k;
        for (const auto& file : visibleFiles(out)) EXPECT_EQ(file.extension(), ".png") << file;
    }
    EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
}

}  // namespace
}  // namespace krumple::test
