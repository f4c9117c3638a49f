// The batch: queue every item, run the jobs a few at a time, record results.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "batch_task.h"
#include "converter.h"
#include "difference.h"
#include "fmt.h"
#include "image_library.h"
#include "main_hop.h"
#include "memory_budget.h"
#include "processor_count.h"
#include "store.h"

namespace krumple {

ConvertSettings Store::settingsSnapshot() const {
    ConvertSettings settings;
    settings.format = format_;
    settings.quality = quality_;
    if (limitWidth_) {
        const std::int64_t pixels = std::max<std::int64_t>(maxWidth_, 16);
        switch (limitedSide_) {
        case LimitedSide::width: settings.maxWidth = pixels; break;
        case LimitedSide::height: settings.maxHeight = pixels; break;
        case LimitedSide::longer: settings.maxSide = pixels; break;
        }
    }
    settings.stripMetadata = stripMetadata_;
    settings.keepDates = keepDates_;
    settings.onlySmaller = onlySmaller_;
    if (qualityMode_ == QualityMode::automatic) settings.targetDistance = targetDistance_;
    if (qualityMode_ == QualityMode::fileSize || (qualityMode_ == QualityMode::automatic && capsAutomatic_))
        settings.maxBytes = std::max<std::int64_t>(maxFileSize_, 1);
    return settings;
}

void Store::startConversion() {
    if (!canConvert()) return;

    OutputReservations reservations;
    reservations.sources = listedPaths();
    std::vector<Job> jobs;
    std::vector<ItemId> ids;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        ImageItem& it = items_[i];
        std::optional<Path> dst = assignOutputURL(it, reservations);
        if (!dst) continue;
        const auto isOwnOutput = [&it](const Path& path) {
            return it.outputURL && standardizedPath(*it.outputURL) == path.native();
        };
        Job job{it.id, it.url, *dst, isOwnOutput(*dst)};
        if (onlySmaller_ && outputMode_ == OutputMode::folder) {
            job.keptCopy = assignKeptCopyURL(it, *dst, reservations);
            job.keptCopyReplacesOwnOutput = isOwnOutput(*job.keptCopy);
        }
        if (keepStructure_ && outputMode_ == OutputMode::folder) job.foldersBelow = standardized(*outputFolder_);
        it.status = ItemStatus::pending;
        it.outputURL = *dst;
        it.outputSize.reset();
        it.rejectedOutputSize.reset();
        it.chosenQuality.reset();
        it.distance.reset();
        it.difference.reset();
        it.rebuildsJpeg.reset();
        it.frames = 1;
        jobs.push_back(std::move(job));
        ids.push_back(it.id);
        rows.push_back(i);
    }
    if (!ids.empty()) notifyItems(StoreChange::ItemsEdit::updated, std::move(ids), std::move(rows));

    const ConvertSettings settings = settingsSnapshot();
    isRunning_ = true;
    notifyField(StoreField::isRunning);
    if (std::exchange(completed_, 0) != 0) notifyField(StoreField::completed);
    const auto jobCount = static_cast<std::int64_t>(jobs.size());
    if (std::exchange(total_, jobCount) != jobCount) notifyField(StoreField::total);

    const int limit = concurrencyLimit(processorCount_ ? processorCount_() : 1);
    MemoryPlan plan = memoryPlan_ ? memoryPlan_() : enginePlan(measureDifference_);
    std::weak_ptr<Store> weak = weak_from_this();
    auto onStart = [weak](ItemId id) {
        if (auto store = weak.lock()) store->mark(id, [](ImageItem& it) { it.status = ItemStatus::converting; });
    };
    auto onFinish = [weak](const JobResult& result) {
        if (auto store = weak.lock()) {
            ++store->completed_;
            store->notifyField(StoreField::completed);
            store->finish(result);
        }
    };
    std::stop_source stop;
    std::thread thread([jobs = std::move(jobs), settings, onStart, onFinish, limit, plan = std::move(plan),
                        token = stop.get_token(),
                        toMain = toMain_, weak, measure = measureDifference_]() mutable {
        runBatch(std::move(jobs), settings, onStart, onFinish, limit, token, toMain, engineConvert(measure),
                 std::move(plan));
        toMain([weak] {
            if (auto store = weak.lock()) store->batchEnded();
        });
    });
    runTask_ = std::make_unique<BatchTask>(std::move(stop), std::move(thread));
}

void Store::batchEnded() {
    if (isRunning_) {
        isRunning_ = false;
        notifyField(StoreField::isRunning);
    }
    if (runTask_) runTask_->markEnded();
    runTask_.reset();
}

void Store::cancelRunTask() {
    if (runTask_) runTask_->cancel();
}

void Store::mark(ItemId id, const std::function<void(ImageItem&)>& change) {
    const auto found = rows_.find(id);
    if (found == rows_.end()) return;
    change(items_[found->second]);
    notifyItems(StoreChange::ItemsEdit::updated, {id}, {found->second});
}

void Store::finish(const JobResult& result) {
    mark(result.id, [&result](ImageItem& it) {
        ++it.revision;
        if (result.output) {
            it.status = ItemStatus::done;
            it.outputSize = result.output->size;
            it.rejectedOutputSize = result.output->rejectedSize;
            it.chosenQuality = result.output->quality;
            it.distance = result.output->distance;
            it.difference = result.output->difference;
            it.rebuildsJpeg = result.output->rebuildsJpeg;
            it.sourceFrames = result.output->sourceFrames;
            it.frames = result.output->frames;
            if (result.output->at) it.outputURL = *result.output->at;
        } else {
            it.status = ItemStatus::failure(result.error.value_or(Failure{}));
            it.outputURL.reset();
            it.outputSize.reset();
        }
    });
}

namespace {

// Makes the folders from `top` (which must exist) down to the one `file` goes in.
bool makeFoldersFor(const std::filesystem::path& top, const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(top, error)) return false;
    std::filesystem::create_directories(folder, error);
    return !error && std::filesystem::is_directory(folder, error);
}

}  // namespace

Store::ConvertFunction Store::engineConvert(bool measureDifference) {
    return [measureDifference](const Job& job, const ConvertSettings& settings,
                               std::stop_token stop) -> std::expected<JobOutput, Failure> {
        const auto failure = [](Failure f) { return std::unexpected(f); };
        // Only the item's own earlier output may be replaced; anything else
        // that turned up at dst since naming stays as it is.
        const auto replacing = [](bool own) { return own ? Replace::allowed : Replace::never; };
        if (job.foldersBelow && !makeFoldersFor(*job.foldersBelow, job.dst))
            return failure(ConvertError::encodeFailed);
        const auto converted =
            Converter::convert(job.src, job.dst, settings, stop, replacing(job.replacesOwnOutput));
        if (!converted) return failure(converted.error());
        if (converted->overCap) return failure(Failure::tooLarge(*settings.maxBytes, converted->size));
        if (converted->written) {
            JobOutput output{converted->size, std::nullopt, std::nullopt, converted->quality, converted->distance};
            output.rebuildsJpeg = converted->rebuildsJpeg;
            output.sourceFrames = converted->sourceFrames;
            output.frames = converted->frames;
            if (measureDifference)
                if (const auto measured = Converter::difference(job.src, job.dst, 1, stop))
                    output.difference = measured->distance;
            return output;
        }
        JobOutput kept{converted->sourceSize, converted->size, job.src};
        kept.sourceFrames = converted->sourceFrames;
        kept.frames = converted->frames;
        if (!job.keptCopy) return kept;
        const auto copied = Converter::copyOriginal(job.src, *job.keptCopy, settings.keepDates,
                                                    replacing(job.keptCopyReplacesOwnOutput));
        if (!copied) return failure(copied.error());
        kept.size = *copied;
        kept.at = *job.keptCopy;
        return kept;
    };
}

MemoryPlan Store::enginePlan(bool measureDifference) {
    return MemoryPlan{memoryBudget(readMemoryFacts()),
                      [measureDifference](const Job& job, const ConvertSettings& settings) {
                          return Converter::memoryEstimate(job.src, settings, measureDifference);
                      }};
}

void Store::runBatch(std::vector<Job> jobs, ConvertSettings settings, std::function<void(ItemId)> onStart,
                     std::function<void(const JobResult&)> onFinish, int limit, std::stop_token stop,
                     Executor toMain, ConvertFunction convert, MemoryPlan memory) {
    if (jobs.empty()) return;
    // Workers release libvips' per-thread state as they end, which needs the
    // library set up even when the converter given never touched it.
    ensureImageLibrary();
    const std::size_t workers = std::min(static_cast<std::size_t>(concurrencyLimit(limit)), jobs.size());

    std::mutex mutex;
    std::condition_variable launchedOne;
    std::condition_variable finishedOne;
    std::deque<std::size_t> launchQueue;                  // launched jobs no worker has taken yet
    std::deque<std::pair<std::size_t, JobResult>> results;  // finished, not yet reported
    bool closed = false;

    auto work = [&] {
        for (;;) {
            std::size_t index = 0;
            std::optional<MainHop> started;
            {
                std::unique_lock lock(mutex);
                launchedOne.wait(lock, [&] { return !launchQueue.empty() || closed; });
                if (launchQueue.empty()) break;
                index = launchQueue.front();
                launchQueue.pop_front();
                // Posted while taking the job, so rows turn converting in list order.
                started = MainHop::post(toMain, [onStart, id = jobs[index].id] { onStart(id); });
            }
            started->wait();
            const Job& job = jobs[index];
            JobResult result{job.id, std::nullopt, std::nullopt};
            try {
                auto written = convert(job, settings, stop);
                if (written) {
                    result.output = std::move(*written);
                } else {
                    result.error = std::move(written.error());
                }
            } catch (...) {
                // Neither size nor reason: recorded as an unknown failure.
            }
            {
                std::lock_guard lock(mutex);
                results.emplace_back(index, std::move(result));
            }
            finishedOne.notify_one();
        }
        releaseImageLibraryThread();
    };

    // Launching happens on this thread only: in list order, while a worker is
    // free and the running jobs' estimates leave room. The next job waits
    // rather than being overtaken; with nothing running, it runs alone.
    std::vector<std::int64_t> estimates(jobs.size(), 0);
    std::size_t next = 0, running = 0, estimated = 0;
    std::int64_t planned = 0;
    const auto estimateNext = [&] {
        if (memory.estimate && estimated == next && next < jobs.size())
            estimates[estimated++] = std::max<std::int64_t>(0, memory.estimate(jobs[next], settings));
    };
    const auto launchWhatFits = [&](bool evenIfStopped) {
        while ((evenIfStopped || !stop.stop_requested()) && next < jobs.size() && running < workers) {
            estimateNext();
            if (running > 0 && estimates[next] > memory.budget - planned) break;
            planned += estimates[next];
            ++running;
            {
                std::lock_guard lock(mutex);
                launchQueue.push_back(next);
            }
            ++next;
            launchedOne.notify_one();
        }
        // The next estimate reads a header: done now, while the workers are busy.
        if (!stop.stop_requested()) estimateNext();
    };
    {
        std::vector<std::jthread> pool;
        pool.reserve(workers);
        for (std::size_t i = 0; i < workers; ++i) pool.emplace_back(work);

        // The first ones launch even if already cancelled: they report "Cancelled".
        launchWhatFits(true);
        while (running > 0) {
            std::pair<std::size_t, JobResult> finished;
            {
                std::unique_lock lock(mutex);
                finishedOne.wait(lock, [&] { return !results.empty(); });
                finished = std::move(results.front());
                results.pop_front();
            }
            --running;
            planned -= estimates[finished.first];
            runOnMainAndWait(toMain, [onFinish, result = std::move(finished.second)] { onFinish(result); });
            // Cancellation is noticed here, after a report: nothing more starts.
            launchWhatFits(false);
        }
        {
            std::lock_guard lock(mutex);
            closed = true;
        }
        launchedOne.notify_all();
    }  // the pool joins here
    // The estimates may have read headers through libvips on this thread.
    releaseImageLibraryThread();
}

}  // namespace krumple
