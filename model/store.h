#pragma once

// The batch model: the one object that owns the list of images, the
// selection, the settings and the state of a running batch.
//
// Threads: a Store lives on one thread (the "main" one) and every call below
// must be made there. Background work (adding files, converting) gets copies
// of what it needs and posts its results back through the Executor given at
// construction. Create it with std::make_shared: background work holds it
// only weakly, so it never keeps a store alive.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert_error.h"
#include "convert_settings.h"
#include "executor.h"
#include "image_item.h"
#include "job.h"
#include "output_format.h"
#include "file_paths.h"
#include "panels.h"
#include "store_change.h"

namespace krumple {

class BatchTask;

// Paths handed out by one batch start, and the paths no output may take.
// Paths are standardized native strings (see standardizedPath()).
struct OutputReservations {
    std::unordered_set<std::string> reserved;  // outputs already assigned in this batch
    std::unordered_set<std::string> sources;   // every listed item's source
};

// How a batch keeps within memory: a job starts only while the estimates of
// the running jobs and its own fit the budget, but one always runs.
struct MemoryPlan {
    std::int64_t budget = INT64_MAX;  // bytes
    // A job's peak memory in bytes; none counts as 0.
    std::function<std::int64_t(const Job&, const ConvertSettings&)> estimate;
};

class Store : public std::enable_shared_from_this<Store> {
public:
    using Path = std::filesystem::path;
    // Converts one job; the default calls the engine's converter. A failure
    // is the text the user sees.
    using ConvertFunction = std::function<std::expected<JobOutput, Failure>(
        const Job&, const ConvertSettings&, std::stop_token)>;

    explicit Store(Executor toMain);
    ~Store();  // cancels a running batch; its remaining results are dropped
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // --- Collaborators -----------------------------------------------------
    void subscribe(StoreObserver* observer);
    void unsubscribe(StoreObserver* observer);
    // Not owned; must outlive its use. Without panels, openPanel() and
    // chooseOutputFolder() do nothing.
    void setPanels(Panels* panels);
    // Where the batch size limit comes from (default: activeProcessorCount()).
    // Read at each batch start; counts below 1 mean 1.
    void setProcessorCount(std::function<int()> count);
    // Where the batch's memory plan comes from (default: enginePlan(), with
    // the measure as setMeasureDifference says). Read at each batch start.
    void setMemoryPlan(std::function<MemoryPlan()> plan);
    // Whether each job also measures its written output against its source,
    // for the item's `difference` (off: the window measures in its comparison
    // view). Read at each batch start.
    void setMeasureDifference(bool on) { measureDifference_ = on; }

    // --- Observable fields ---------------------------------------------------
    const std::vector<ImageItem>& items() const { return items_; }
    std::optional<ItemId> selection() const { return selection_; }
    OutputFormat format() const { return format_; }    // first encodable format, else jpeg
    double quality() const { return quality_; }        // 0.8
    QualityMode qualityMode() const { return qualityMode_; }  // fixed
    double targetDistance() const { return targetDistance_; }  // defaultTargetDistance: automatic quality's goal
    std::int64_t maxFileSize() const { return maxFileSize_; }  // 500 kB: the file size mode's cap, in bytes
    bool capsAutomatic() const { return capsAutomatic_; }  // false: automatic quality also keeps within maxFileSize
    bool limitWidth() const { return limitWidth_; }    // false
    std::int64_t maxWidth() const { return maxWidth_; }  // 2048: the limit in pixels
    LimitedSide limitedSide() const { return limitedSide_; }  // width: the side maxWidth holds to
    bool stripMetadata() const { return stripMetadata_; }  // false
    bool keepDates() const { return keepDates_; }          // false
    bool onlySmaller() const { return onlySmaller_; }      // false: outputs are kept even when larger
    bool keepStructure() const { return keepStructure_; }  // false: folder mode puts every output at its top
    OutputMode outputMode() const { return outputMode_; }  // alongside
    const std::optional<Path>& outputFolder() const { return outputFolder_; }
    bool isRunning() const { return isRunning_; }
    std::int64_t completed() const { return completed_; }  // results recorded in the current/last batch
    std::int64_t total() const { return total_; }          // jobs in the current/last batch

    // Each setter notifies only when the value really changes.
    void setSelection(std::optional<ItemId> id);
    void setFormat(OutputFormat format);
    void setQuality(double quality);
    void setQualityMode(QualityMode mode);
    void setTargetDistance(double distance);
    void setMaxFileSize(std::int64_t bytes);
    void setCapsAutomatic(bool on);
    void setLimitWidth(bool on);
    void setMaxWidth(std::int64_t pixels);
    void setLimitedSide(LimitedSide side);
    void setStripMetadata(bool on);
    void setKeepDates(bool on);
    void setOnlySmaller(bool on);
    void setKeepStructure(bool on);
    void setOutputMode(OutputMode mode);
    void setOutputFolder(std::optional<Path> folder);

    // --- Queries -------------------------------------------------------------
    const ImageItem* item(ItemId id) const;       // nullptr when not listed
    std::optional<std::size_t> row(ItemId id) const;
    std::optional<ImageItem> selectedItem() const;
    // Items listed, no batch running, and alongside mode or a folder chosen.
    bool canConvert() const;

    // --- Removal (each does nothing while a batch runs) ----------------------
    void remove(ItemId id);
    void removeSelected();
    void clear();  // settings, completed and total stay

    // --- Adding files --------------------------------------------------------
    // Returns at once. A background thread walks folders and probes files;
    // new rows are appended later in one change. `done` (optional) runs on the
    // main thread afterwards with the number of rows appended.
    void add(std::vector<Path> urls, std::function<void(std::size_t)> done = {});
    // Asks the panels for files and folders and adds them in the panel's order.
    void openPanel();
    // Touches no store state; runs on any thread. The new items for `urls`, in
    // order, leaving out paths in `skipping` (standardized) and repeats.
    static std::vector<ImageItem> expand(const std::vector<Path>& urls,
                                         std::unordered_set<std::string> skipping,
                                         std::stop_token stop = {});

    // --- Output naming -------------------------------------------------------
    // The output location for `item` in this batch, or nullopt in folder mode
    // without a folder. Never a listed source, never a path already reserved,
    // never an existing file or folder unless it is the item's own earlier output.
    // With the structure kept, an item found in a dropped folder goes below the
    // output folder at <dropped folder's name>/<its path below it>.
    std::optional<Path> assignOutputURL(const ImageItem& item, OutputReservations& reservations) const;
    // Where an unchanged copy of the source goes beside `output` (its assigned
    // output), under the source's own extension, by the same rules: `output`
    // itself when the extensions match.
    Path assignKeptCopyURL(const ImageItem& item, const Path& output, OutputReservations& reservations) const;
    // The name assignOutputURL tries first, taken or not: the output's name
    // before any " krumpled" is added. Nullopt as there.
    std::optional<Path> plainOutputURL(const ImageItem& item) const;
    // Asks the panels for a folder; on confirm sets outputFolder, then folder mode.
    void chooseOutputFolder();

    // --- Batch ---------------------------------------------------------------
    // Names every item's output, queues them all and starts the batch. Does
    // nothing unless canConvert().
    void startConversion();
    // The Cancel button: no further job starts; jobs not yet begun fail with
    // "Cancelled"; running conversions finish; never-launched items stay pending.
    void cancelRunTask();
    bool hasRunTask() const { return runTask_ != nullptr; }
    // The settings a batch started now would use.
    ConvertSettings settingsSnapshot() const;
    // Records a result on its item (done with its size, or failed).
    void finish(const JobResult& result);

    // Runs `jobs`, at most `limit` at once (below 1 means 1) and no more than
    // `memory` admits, launched in list order, each only after an earlier
    // result has been reported (after the first ones). `onStart` and
    // `onFinish` run on the main thread through `toMain`; onStart(id) always
    // before that job's onFinish. After `stop`, nothing more is launched.
    // Blocks until every launched job is reported: call it from a background
    // thread, never the main one. Touches no store.
    static void runBatch(std::vector<Job> jobs, ConvertSettings settings,
                         std::function<void(ItemId)> onStart,
                         std::function<void(const JobResult&)> onFinish, int limit,
                         std::stop_token stop, Executor toMain,
                         ConvertFunction convert = engineConvert(false), MemoryPlan memory = {});
    // With `measureDifference`, a written output is measured whole, on the
    // job's thread; a stop ends the measure, not the conversion.
    static ConvertFunction engineConvert(bool measureDifference = false);
    // The budget from this machine's free memory and this process's limits,
    // and the engine's estimates (with the measure, when jobs measure).
    static MemoryPlan enginePlan(bool measureDifference = false);

private:
    Path outputFolderFor(const ImageItem& item) const;
    void notify(const StoreChange& change);
    void notifyField(StoreField field);
    void notifyItems(StoreChange::ItemsEdit edit, std::vector<ItemId> ids, std::vector<std::size_t> rows);
    void mark(ItemId id, const std::function<void(ImageItem&)>& change);
    void removeWhere(const std::function<bool(const ImageItem&)>& doomed);
    void rebuildRows();
    const std::unordered_set<std::string>& listedPaths() const { return listed_; }
    void appendFound(std::vector<ImageItem> found, std::uint64_t task,
                     const std::function<void(std::size_t)>& done);
    void batchEnded();

    Executor toMain_;
    Panels* panels_ = nullptr;
    std::function<int()> processorCount_;
    std::function<MemoryPlan()> memoryPlan_;
    bool measureDifference_ = false;
    std::vector<StoreObserver*> observers_;

    std::vector<ImageItem> items_;
    std::unordered_map<ItemId, std::size_t> rows_;  // id -> position in items_
    std::unordered_set<std::string> listed_;        // standardized paths of items_, kept in step
    std::optional<ItemId> selection_;
    OutputFormat format_;
    double quality_ = 0.8;
    QualityMode qualityMode_ = QualityMode::fixed;
    double targetDistance_ = defaultTargetDistance;
    std::int64_t maxFileSize_ = 500'000;
    bool capsAutomatic_ = false;
    bool limitWidth_ = false;
    std::int64_t maxWidth_ = 2048;
    LimitedSide limitedSide_ = LimitedSide::width;
    bool stripMetadata_ = false;
    bool keepDates_ = false;
    bool onlySmaller_ = false;
    bool keepStructure_ = false;
    OutputMode outputMode_ = OutputMode::alongside;
    std::optional<Path> outputFolder_;
    bool isRunning_ = false;
    std::int64_t completed_ = 0;
    std::int64_t total_ = 0;

    std::unique_ptr<BatchTask> runTask_;  // plain state: assigning it notifies nobody
    std::map<std::uint64_t, std::jthread> addTasks_;
    std::uint64_t nextAddTask_ = 0;
};

}  // namespace krumple
