// The runner on its own, with a converter the test holds back at will.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "memory_budget.h"
#include "test_support.h"

namespace krumple::test {
namespace {

class RunnerTest : public ::testing::Test {
protected:
    ~RunnerTest() override {
        openAll();
        if (thread.joinable()) queue.runUntil([this] { return returned.load(); });
    }

    void start(std::size_t count, int limit, MemoryPlan memory = {}) {
        for (std::size_t i = 0; i < count; ++i) {
            jobs.push_back(Job{ItemId::random(), "/src/" + std::to_string(i), "/dst/" + std::to_string(i), false});
            index[jobs.back().id] = i;
        }
        auto onStart = [this](ItemId id) {
            events.push_back("S" + std::to_string(index.at(id)));
            maxInFlight = std::max(maxInFlight, ++inFlight);
            inFlightBytes += estimates.empty() ? 0 : estimates[index.at(id)];
            if (inFlight > 1) maxSharedBytes = std::max(maxSharedBytes, inFlightBytes);
        };
        auto onFinish = [this](const JobResult& result) {
            --inFlight;
            inFlightBytes -= estimates.empty() ? 0 : estimates[index.at(result.id)];
            events.push_back("F" + std::to_string(index.at(result.id)));
            results.push_back(result);
        };
        thread = std::jthread([this, limit, onStart, onFinish, memory] {
            Store::runBatch(
                jobs, ConvertSettings{}, onStart, onFinish, limit, stop.get_token(), executor,
                [this](const Job& job, const ConvertSettings&, std::stop_token token) { return convert(job, token); },
                memory);
            returned = true;
        });
    }

    // Like the engine: cancellation is looked at once, before any work.
    std::expected<JobOutput, Failure> convert(const Job& job, std::stop_token token) {
        if (token.stop_requested()) return std::unexpected(Failure(ConvertError::cancelled));
        const std::size_t i = index.at(job.id);
        std::unique_lock lock(mutex);
        began.insert(i);
        changed.notify_all();
        changed.wait(lock, [&] { return open.contains(i); });
        if (i == failing) return std::unexpected(Failure(ConvertError::decodeFailed));
        if (i == throwing) throw std::runtime_error("boom");
        return JobOutput{static_cast<std::int64_t>(100 + i)};
    }

    void openGates(std::size_t from, std::size_t to) {
        std::lock_guard lock(mutex);
        for (std::size_t i = from; i <= to; ++i) open.insert(i);
        changed.notify_all();
    }
    void openAll() { openGates(0, 9); }  // no test runs more jobs
    bool hasBegun(std::size_t i) {
        std::lock_guard lock(mutex);
        return began.contains(i);
    }
    std::size_t position(const std::string& event) const {
        return static_cast<std::size_t>(std::find(events.begin(), events.end(), event) - events.begin());
    }
    void runToEnd() { ASSERT_TRUE(queue.runUntil([this] { return returned.load(); })); }

    TaskQueue queue;
    Executor executor = queue.executor();
    std::vector<Job> jobs;
    std::map<ItemId, std::size_t> index;
    std::vector<std::string> events;  // "S3": job 3 reported started; "F3": finished
    std::vector<JobResult> results;
    int inFlight = 0, maxInFlight = 0;
    std::vector<std::int64_t> estimates;  // per job, for a memory plan
    std::int64_t inFlightBytes = 0, maxSharedBytes = 0;  // the latter while more than one runs
    MemoryPlan plan(std::int64_t budget) {
        return {budget, [this](const Job& job, const ConvertSettings&) { return estimates[index.at(job.id)]; }};
    }
    std::size_t failing = SIZE_MAX, throwing = SIZE_MAX;
    std::stop_source stop;
    std::atomic<bool> returned = false;

    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::size_t> began, open;
    std::jthread thread;
};

TEST_F(RunnerTest, NeverMoreThanTheLimitAndTheNextOnlyAfterAReport) {
    start(10, 4);
    ASSERT_TRUE(queue.runUntil([this] { return hasBegun(0) && hasBegun(1) && hasBegun(2) && hasBegun(3); }));
    // A job begins only once its start has been reported, and with every gate
    // shut no result exists that could let a fifth one in: exactly these four.
    EXPECT_EQ(events, (std::vector<std::string>{"S0", "S1", "S2", "S3"}));

    openGates(2, 2);  // the third finishes first
    ASSERT_TRUE(queue.runUntil([this] { return position("S4") < events.size(); }));
    EXPECT_LT(position("F2"), position("S4"));

    openAll();
    runToEnd();
    EXPECT_EQ(maxInFlight, 4);
    ASSERT_EQ(results.size(), 10u);
    EXPECT_EQ(results.front().id, jobs[2].id);  // completion order, not list order
    for (std::size_t i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_LT(position("S" + n), position("F" + n));
        EXPECT_LT(position("S" + n), i < 9 ? position("S" + std::to_string(i + 1)) : events.size());  // in list order
    }
}

TEST_F(RunnerTest, CancelledWhileConvertingTheRunningOnesFinishAndNoMoreStart) {
    start(5, 2);
    ASSERT_TRUE(queue.runUntil([this] { return hasBegun(0) && hasBegun(1); }));
    stop.request_stop();
    openAll();
    runToEnd();
    ASSERT_EQ(results.size(), 2u);
    for (const auto& r : results) EXPECT_TRUE(r.output);
    EXPECT_EQ(position("S2"), events.size());
}

TEST_F(RunnerTest, MemoryAdmitsInListOrderAndAPictureOverTheBudgetRunsAlone) {
    // Small ones held by the limit of 3, then the budget of 100: job 6 waits
    // for job 4, job 7 may not overtake it, and job 8 runs alone.
    estimates = {10, 10, 10, 10, 60, 30, 50, 10, 500, 10};
    start(10, 3, plan(100));
    ASSERT_TRUE(queue.runUntil([this] { return hasBegun(0) && hasBegun(1) && hasBegun(2); }));
    openAll();
    runToEnd();
    ASSERT_EQ(results.size(), 10u);
    EXPECT_EQ(maxInFlight, 3);
    EXPECT_LE(maxSharedBytes, 100);
    EXPECT_LT(position("F4"), position("S6"));
    for (std::size_t i = 0; i < 8; ++i) EXPECT_LT(position("F" + std::to_string(i)), position("S8"));
    EXPECT_LT(position("F8"), position("S9"));
    for (std::size_t i = 0; i + 1 < 10; ++i)
        EXPECT_LT(position("S" + std::to_string(i)), position("S" + std::to_string(i + 1)));
}

TEST_F(RunnerTest, CancelledWhileAJobWaitsForMemoryItNeverStarts) {
    estimates = {80, 80, 10};
    start(3, 3, plan(100));
    ASSERT_TRUE(queue.runUntil([this] { return hasBegun(0); }));
    stop.request_stop();
    openAll();
    runToEnd();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].output);
    EXPECT_EQ(events, (std::vector<std::string>{"S0", "F0"}));
}

TEST_F(RunnerTest, FailuresCarryTheConvertersTextAndGoOn) {
    failing = 1;
    throwing = 2;
    openAll();
    start(4, 1);
    runToEnd();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].output, JobOutput{100});
    EXPECT_EQ(results[1].error, Failure(ConvertError::decodeFailed));
    EXPECT_FALSE(results[1].output);
    EXPECT_FALSE(results[2].output);  // neither size nor text: shown as "Failed"
    EXPECT_FALSE(results[2].error);
    EXPECT_EQ(results[3].output, JobOutput{103});
}

TEST_F(RunnerTest, AnExecutorThatDropsClosuresDoesNotHangTheBatch) {
    executor = [](std::function<void()> closure) { closure = nullptr; };
    openAll();
    start(6, 2);
    runToEnd();  // the runner returns: nothing waits forever on a closure that never runs
}

TEST(MemoryBudget, TheSmallestLimitLessTheMarginAndNoLimitAdmitsAll) {
    EXPECT_EQ(kilobytesField("MemTotal:  100 kB\nMemAvailable:    2048 kB\n", "MemAvailable:"), 2048);
    EXPECT_EQ(kilobytesField("MemTotal:  100 kB\n", "MemAvailable:"), std::nullopt);
    EXPECT_EQ(cgroupLimitValue("6442450944\n"), 6442450944);
    EXPECT_EQ(cgroupLimitValue("max\n"), std::nullopt);                  // v2: no limit
    EXPECT_EQ(cgroupLimitValue("9223372036854771712\n"), std::nullopt);  // v1: no limit
    EXPECT_EQ(memoryBudget({8000, 5000, std::nullopt, 7000}, 1000), 4000);
    EXPECT_EQ(memoryBudget({500, std::nullopt, std::nullopt, std::nullopt}, 1000), 0);
    EXPECT_EQ(memoryBudget({}, 1000), INT64_MAX);
}

}  // namespace
}  // namespace krumple::test
