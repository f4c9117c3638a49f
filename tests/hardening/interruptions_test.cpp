// Interrupting a batch at chosen points of the work, never at moments on a
// clock: Cancel between any two of the batch's reports, and the command line
// interrupted or killed inside a copy of a kept original or just before an
// output takes its name. Afterwards the counts add up, sources are
// byte-identical and no final output name holds a partial file.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "child_process.h"
#include "harness.h"

namespace krumple::test {
namespace {

using Interruptions = Batch;

// Each job reports to the main thread as it begins and as it ends, and waits
// there: a cancel after the k-th report lands at a known point, from before
// the first launch (k = 0) to after the last result (k = 12). Only what had
// begun may be done (a begun job may still report Cancelled); the rest is
// pending or Cancelled, only whole outputs exist and no source changed.
TEST_F(Interruptions, CancelAfterAnyReportLeavesTheBatchConsistent) {
    addSources(6, 64);
    const FolderSnapshot before(src);
    for (int run = 0; run < 39; ++run) {
        const int reports = run % 13;
        SCOPED_TRACE("run " + std::to_string(run) + ", cancelled after " + std::to_string(reports) + " reports");
        store = std::make_shared<Store>(queue.executor());
        store->setProcessorCount([] { return 2; });
        ASSERT_EQ(addAndWait({src}), 6u);
        const fs::path folder = out / std::to_string(run);
        convertInto(folder, OutputFormat::jpeg, false);
        for (int i = 0; i < reports; ++i) ASSERT_TRUE(queue.runOne(std::chrono::minutes(2)));
        const Strings atCancel = outcomes();
        store->cancelRunTask();
        if (run % 3 == 1) store->cancelRunTask();  // a second press changes nothing
        finishBatch();
        tally("faults");
        const Strings texts = outcomes();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i] == "done") {
                EXPECT_NE(atCancel[i], "pending") << i << " began after the cancel";
            } else {
                EXPECT_TRUE(texts[i] == "Cancelled" || texts[i] == "pending") << i << ": " << texts[i];
            }
        }
        EXPECT_EQ(store->completed() + std::ranges::count(texts, "pending"), 6);
        if (reports == 0 || reports == 12) {
            EXPECT_EQ(outputs().size(), reports == 0 ? 0u : 6u);
        }
        expectExactly(folder, outputs());
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

// The command line converting `src` to PNG in `folder`, with the hold shim
// set to hold the `hold`-th `watched` call ("LINK" or "COPY"; 0 holds none)
// until `folder`.go exists. Returns once that call is held.
std::unique_ptr<ChildProcess> heldCli(const fs::path& src, const fs::path& folder, const std::string& watched, int hold,
                                      const std::string& jobs, bool keptCopies, Strings settings = {}) {
    fs::create_directories(folder);
    const fs::path mark = folder.string() + ".mark";
    settings.push_back("KRUMPLE_" + watched + "_MARK=" + mark.string());
    if (hold > 0) settings.push_back("KRUMPLE_" + watched + "_HOLD=" + std::to_string(hold));
    settings.push_back("KRUMPLE_RELEASE=" + folder.string() + ".go");
    settings.push_back("LC_ALL=C.UTF-8");  // the totals' "·", which a C locale spells "|"
    Strings args{"--format", "png", "--jobs", jobs, "--out", folder.string(), src.string()};
    if (keptCopies) args.insert(args.begin(), "--only-smaller");
    auto child = std::make_unique<ChildProcess>(KRUMPLE_CLI_PATH, args, folder.parent_path().string(),
                                                withHoldShim(settings));
    // Watched calls mark a byte each. The bound only ends a run that never gets there.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    std::error_code error;
    while (hold > 0 && (fs::file_size(mark, error) < static_cast<std::uintmax_t>(hold) || error)) {
        if (std::chrono::steady_clock::now() > giveUp) {
            ADD_FAILURE() << "never held: " << child->errSoFar();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return child;
}

// Interrupted while the second output waits to take its name, or in the
// middle of copying the first kept original, each held there until the
// interrupt has been taken: that one finishes whole, nothing after it starts.
// Interrupted twice, the run ends there.
TEST_F(Interruptions, InterruptedCommandLineFinishesWhatRunsAndStartsNoMore) {
    addSources(6, 500, "jpg");
    const FolderSnapshot before(src);
    for (const std::string watched : {"LINK", "COPY"}) {
        SCOPED_TRACE(watched);
        const bool keptCopies = watched == "COPY";
        const fs::path folder = dir / watched;
        auto child = heldCli(src, folder, watched, 2, "1", keptCopies);
        child->signal(SIGINT);
        while (child->errSoFar().find("Cancelling") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        writeText(folder.string() + ".go", "");
        EXPECT_EQ(child->wait(), 1) << child->err;
        tally("faults");
        EXPECT_NE(child->out.find(keptCopies ? "0 of 6 converted, 5 not started \u00B7 1 original kept" : "2 of 6 converted, 4 not started"),
                  std::string::npos) << child->out;
        const std::vector<fs::path> files = filesUnder(folder);
        EXPECT_EQ(files.size(), keptCopies ? 1u : 2u);
        for (const auto& file : files)
            EXPECT_TRUE(!keptCopies || readFile(file) == readFile(src / file.filename())) << file << " differs";
        EXPECT_EQ(brokenFiles(files), std::vector<fs::path>{});
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
    // A second interrupt ends the run at once: the held output is never named.
    auto child = heldCli(src, dir / "twice", "LINK", 2, "1", false);
    child->signal(SIGINT);
    while (child->errSoFar().find("Cancelling") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    child->signal(SIGINT);
    EXPECT_EQ(child->wait(), 130) << child->err;
    EXPECT_NE(child->err.find("Stopped."), std::string::npos) << child->err;
    const std::vector<fs::path> files = filesUnder(dir / "twice");
    EXPECT_EQ(files.size(), 1u);
    EXPECT_EQ(brokenFiles(files), std::vector<fs::path>{});
}

// Killed with the k-th output done but not yet named (two jobs at a time),
// or held in the middle of copying a kept original: exactly the outputs named
// before remain, each whole, and no temporary is left. Where copying between
// files is refused, copies are read and written, whole.
TEST_F(Interruptions, KilledCommandLineLeavesNoPartialOutput) {
    addSources(6, 500, "jpg");
    const FolderSnapshot before(src);
    const auto steps = static_cast<int>((fs::file_size(src / "p0.jpg") + 32767) / 32768);
    ASSERT_GE(steps, 4);
    ASSERT_EQ(heldCli(src, dir / "whole", "LINK", 0, "2", false)->wait(), 0);
    ASSERT_EQ(filesUnder(dir / "whole").size(), 6u);
    ASSERT_EQ(heldCli(src, dir / "refused", "COPY", 0, "1", true, {"KRUMPLE_COPY_REFUSE=1"})->wait(), 0);
    ASSERT_TRUE(fs::exists(dir / "refused.mark")) << "the shim was not used";
    for (const fs::path& copy : filesUnder(dir / "refused"))
        EXPECT_TRUE(readFile(copy) == readFile(src / copy.filename())) << copy << " differs from its source";

    struct Held { std::string watched; int hold; std::size_t left; };
    std::vector<Held> cases;
    for (int k = 1; k <= 6; ++k) cases.push_back({"LINK", k, static_cast<std::size_t>(k - 1)});
    // The first copy held at its second step, its middle one and its last (which would find the end).
    for (const int step : {2, (steps + 1) / 2, steps + 1}) cases.push_back({"COPY", step, 0});
    for (const Held& c : cases) {
        const std::string name = c.watched + std::to_string(c.hold);
        SCOPED_TRACE(name);
        auto child = heldCli(src, dir / "killed" / name, c.watched, c.hold, c.watched == "LINK" ? "2" : "1",
                             c.watched == "COPY");
        child->signal(SIGKILL);
        child->wait();
        tally("faults");
        const std::vector<fs::path> files = filesUnder(dir / "killed" / name);
        EXPECT_EQ(files.size(), c.left);
        for (const auto& file : files) {
            EXPECT_TRUE(readFile(file) == readFile(dir / "whole" / file.filename())) << file;
        }
        EXPECT_EQ(before.damaged(), std::vector<fs::path>{});
    }
}

}  // namespace
}  // namespace krumple::test
