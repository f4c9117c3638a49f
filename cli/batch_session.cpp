#include "batch_session.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_set>

#include "list_totals.h"
#include "report_text.h"
#include "signal_watch.h"
#include "store.h"
#include "task_queue.h"

namespace krumple::cli {
namespace {

namespace fs = std::filesystem;

void printLine(std::FILE* stream, const std::string& line) {
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int usageError(const std::string& message) {
    printLine(stderr, "krumple-cli: " + message);
    return 2;
}

// Prints each result as it is recorded and, on a terminal and not for JSON,
// a progress bar: one line on standard error that rewrites itself and is
// cleared before anything else is printed.
class Reporter : public StoreObserver {
public:
    Reporter(const Store& store, bool json) : store_(store), json_(json), bar_(!json && ::isatty(STDERR_FILENO) == 1) {}

    void storeChanged(const StoreChange& change) override {
        if (change.field == StoreField::items && change.edit == StoreChange::ItemsEdit::updated) {
            for (const ItemId id : change.ids) {
                const ImageItem* item = store_.item(id);
                if (!item) continue;
                const auto kind = item->status.kind();
                // One stopped by Cancel is told with those never started, after the batch.
                if ((kind == ItemStatus::done || kind == ItemStatus::failed) && !notStarted(*item) &&
                    reported_.insert(id).second)
                    print(stdout, json_ ? resultJson(*item) : resultLine(*item));
            }
        }
        if (change.field == StoreField::completed || change.field == StoreField::total) drawBar();
    }

    void print(std::FILE* stream, const std::string& line) {
        clearBar();
        printLine(stream, line);
        drawBar();
    }

    void clearBar() {
        if (barShown_) std::fputs("\r\033[K", stderr);
        barShown_ = false;
    }

private:
    void drawBar() {
        if (!bar_ || !store_.isRunning()) return;
        // Narrower than the terminal, or the line would wrap and \r not reach its start.
        winsize size{};
        const int columns = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
        const std::string counts = std::to_string(store_.completed()) + "/" + std::to_string(store_.total());
        const int width = std::clamp(columns - 4 - static_cast<int>(counts.size()), 0, 30);
        std::fputs(("\r\033[K" + progressBar(store_.completed(), store_.total(), width)).c_str(), stderr);
        std::fflush(stderr);
        barShown_ = true;
    }

    const Store& store_;
    bool json_;
    bool bar_;
    bool barShown_ = false;
    std::unordered_set<ItemId> reported_;
};

}  // namespace

int runBatchSession(const CliOptions& options) {
    // A path that is gone is that file's failure, not the batch's, whether
    // typed or listed.
    std::vector<fs::path> paths, gone;
    const auto sortOut = [&](fs::path path) {
        std::error_code error;
        const auto status = fs::symlink_status(path, error);
        (error || status.type() == fs::file_type::not_found ? gone : paths).push_back(std::move(path));
    };
    for (const auto& path : options.paths) sortOut(path);
    for (const auto& list : options.filesFrom) {
        auto listed = readPathList(list, options.nullSeparated);
        if (!listed) return usageError(listed.error());
        for (auto& path : *listed) sortOut(std::move(path));
    }
    if (options.outputFolder) {
        std::error_code error;
        if (fs::exists(*options.outputFolder, error) && !fs::is_directory(*options.outputFolder, error))
            return usageError("--out is not a folder: " + options.outputFolder->native());
        fs::create_directories(*options.outputFolder, error);
        if (error) return usageError("can't create the folder " + options.outputFolder->native());
    }

    TaskQueue queue;
    auto store = std::make_shared<Store>(queue.executor());
    if (options.format) store->setFormat(*options.format);
    store->setQuality(options.quality);
    store->setQualityMode(options.qualityMode);
    if (options.target) store->setTargetDistance(*options.target);
    if (options.maxBytes) store->setMaxFileSize(*options.maxBytes);
    store->setCapsAutomatic(options.maxBytes && options.qualityMode == QualityMode::automatic);
    if (options.maxSize) {
        store->setLimitWidth(true);
        store->setMaxWidth(*options.maxSize);
        store->setLimitedSide(options.limitedSide);
    }
    store->setStripMetadata(options.stripMetadata);
    store->setKeepDates(options.keepDates);
    store->setOnlySmaller(options.onlySmaller);
    store->setKeepStructure(options.keepStructure);
    if (options.outputFolder) {
        store->setOutputFolder(*options.outputFolder);
        store->setOutputMode(OutputMode::folder);
    }
    if (options.jobs) store->setProcessorCount([jobs = *options.jobs] { return jobs; });
    store->setMeasureDifference(options.difference);

    Reporter reporter(*store, options.json);
    bool cancelled = false;
    std::atomic<int> signalled = 0;
    const SignalWatch signals([&queue, &cancelled, &store, &reporter, &signalled] {
        // A second interrupt ends the run at once: outputs take their names
        // only when whole, so nothing half-written is left behind.
        if (signalled++ > 0) {
            constexpr char stopped[] = "\nStopped.\n";
            [[maybe_unused]] const auto written = ::write(STDERR_FILENO, stopped, sizeof stopped - 1);
            std::_Exit(130);
        }
        queue.post([&cancelled, &store, &reporter] {
            if (!cancelled) reporter.print(stderr, "Cancelling\u2026 (conversions already running will finish)");
            cancelled = true;
            store->cancelRunTask();
        });
    });

    bool added = false;
    store->add(paths, [&added](std::size_t) { added = true; });
    while (!added && !cancelled) queue.runOne(std::chrono::seconds(1));
    if (cancelled) return 1;  // the store stops its folder walk as it goes

    int failures = 0;
    std::unordered_set<std::string> listed;
    for (const auto& item : store->items()) listed.insert(standardizedPath(item.url));
    const auto answer = [&](const fs::path& path, const char* message) {
        ++failures;
        printLine(stdout, options.json ? failureJson(path.native(), message) : failureLine(path.native(), message));
    };
    for (const auto& path : gone)
        if (listed.insert(standardizedPath(path)).second) answer(path, "No such file or folder");
    for (const auto& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) continue;
        // A file named on the command line deserves an answer, not silence.
        if (listed.insert(standardizedPath(path)).second) answer(path, "Can't read this image");
    }
    if (store->items().empty()) {
        if (failures == 0) printLine(stderr, "No images found.");
        if (failures > 0 && !options.json) printLine(stdout, totalsLines({}, failures).back());
        return failures == 0 ? 0 : 1;
    }

    store->subscribe(&reporter);
    store->startConversion();
    while (store->isRunning()) queue.runOne(std::chrono::seconds(1));
    reporter.clearBar();
    store->unsubscribe(&reporter);

    if (options.json) {
        for (const auto& item : store->items())
            if (notStarted(item)) printLine(stdout, resultJson(item));
    } else {
        for (const auto& line : totalsLines(store->items(), failures)) printLine(stdout, line);
    }
    bool allDone = failures == 0;
    for (const auto& item : store->items()) allDone = allDone && item.status.kind() == ItemStatus::done;
    return allDone ? 0 : 1;
}

}  // namespace krumple::cli
