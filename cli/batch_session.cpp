#include "batch_session.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

// Prints each result as it is recorded, as `shown` has it, and, on a
// terminal and not for JSON, a progress bar: one line on standard error that
// rewrites itself and is cleared before anything else is printed.
class Reporter : public StoreObserver {
public:
    Reporter(const Store& store, bool json, bool ascii, std::FILE* stream, std::function<ImageItem(ImageItem)> shown)
        : store_(store), json_(json), ascii_(ascii), stream_(stream), shown_(std::move(shown)),
          bar_(!json && ::isatty(STDERR_FILENO) == 1) {}

    void storeChanged(const StoreChange& change) override {
        if (change.field == StoreField::items && change.edit == StoreChange::ItemsEdit::updated) {
            for (const ItemId id : change.ids) {
                const ImageItem* item = store_.item(id);
                if (!item) continue;
                const auto kind = item->status.kind();
                // One stopped by Cancel is told with those never started, after the batch.
                if ((kind == ItemStatus::done || kind == ItemStatus::failed) && !notStarted(*item) &&
                    reported_.insert(id).second)
                    print(stream_, json_ ? resultJson(shown_(*item)) : resultLine(shown_(*item), ascii_));
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
    bool ascii_;
    std::FILE* stream_;
    std::function<ImageItem(ImageItem)> shown_;
    bool bar_;
    bool barShown_ = false;
    std::unordered_set<ItemId> reported_;
};

// A private folder for an image read from standard input and its output,
// removed with everything in it at the end.
class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/krumple-cli.XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~Scratch() { removeNow(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& path() const { return path_; }
    void removeNow() const {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }

private:
    fs::path path_;
};

// Copies everything from one descriptor to the other; false with errno set on failure.
bool copyAll(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            done += w;
        }
    }
}

// Standard input saved whole to `file`, or why not.
std::optional<std::string> saveStandardInput(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    const bool copied = copyAll(STDIN_FILENO, fd);
    const int error = errno;
    if (::close(fd) != 0 && copied) return std::strerror(errno);
    return copied ? std::nullopt : std::optional<std::string>(std::strerror(error));
}

// The name that has --skip-existing leave `item` out: its output's before
// " krumpled" is added or, when originals kept are copied into the output
// folder, that copy's; nullopt when both are free.
std::optional<fs::path> takenName(const Store& store, const ImageItem& item, bool keptCopies) {
    const auto plain = store.plainOutputURL(item);
    if (!plain) return std::nullopt;
    const auto taken = [](const fs::path& path) {
        std::error_code error;
        return fs::exists(fs::symlink_status(path, error));  // a dangling link too
    };
    if (taken(*plain)) return plain;
    if (keptCopies && taken(plain->parent_path() / item.url.filename())) return plain->parent_path() / item.url.filename();
    return std::nullopt;
}

}  // namespace

int runBatchSession(CliOptions options, bool ascii) {
    // With --out -, standard output carries the image alone.
    std::FILE* const reports = options.toStandardOutput ? stderr : stdout;
    std::unique_ptr<Scratch> scratch;
    std::optional<fs::path> fromInput;  // where standard input was saved
    if (options.paths == std::vector<fs::path>{"-"}) {
        if (::isatty(STDIN_FILENO) == 1) return usageError("- reads an image from standard input, which is a terminal");
        if (options.toStandardOutput && ::isatty(STDOUT_FILENO) == 1)
            return usageError("--out - writes an image to standard output, which is a terminal");
        scratch = std::make_unique<Scratch>();
        if (scratch->path().empty()) {
            printLine(reports, "-: can't make a temporary folder: " + std::string(std::strerror(errno)));
            return 1;
        }
        fromInput = scratch->path() / "stdin";
        if (const auto error = saveStandardInput(*fromInput)) {
            printLine(reports, "-: can't read standard input: " + *error);
            return 1;
        }
        options.paths = {*fromInput};
        if (options.toStandardOutput) options.outputFolder = scratch->path() / "out";
    }
    // Standard input's item as the user knows it: "-", and "-" for standard output.
    const auto shown = [&](ImageItem item) {
        if (fromInput && item.url == *fromInput) {
            item.url = "-";
            if (options.toStandardOutput && item.outputURL) item.outputURL = "-";
        }
        return item;
    };

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

    Reporter reporter(*store, options.json, ascii, reports, shown);
    bool cancelled = false;
    std::atomic<int> signalled = 0;
    const SignalWatch signals([&queue, &cancelled, &store, &reporter, &signalled, &scratch, ascii] {
        // A second interrupt ends the run at once: outputs take their names
        // only when whole, so nothing half-written is left behind.
        if (signalled++ > 0) {
            if (scratch) scratch->removeNow();
            constexpr char stopped[] = "\nStopped.\n";
            [[maybe_unused]] const auto written = ::write(STDERR_FILENO, stopped, sizeof stopped - 1);
            std::_Exit(130);
        }
        queue.post([&cancelled, &store, &reporter, ascii] {
            const std::string cancelling = "Cancelling\u2026 (conversions already running will finish)";
            if (!cancelled) reporter.print(stderr, ascii ? asciiOnly(cancelling) : cancelling);
            cancelled = true;
            store->cancelRunTask();
        });
    });

    bool added = false;
    store->add(paths, [&added](std::size_t) { added = true; });
    while (!added && !cancelled) queue.runOne(std::chrono::seconds(1));
    if (cancelled) return 1;  // the store stops its folder walk as it goes

    std::unordered_set<std::string> listed;
    for (const auto& item : store->items()) listed.insert(standardizedPath(item.url));
    // Skipped before anything is queued, so nothing is written for them.
    std::int64_t skipped = 0;
    if (options.skipExisting) {
        const std::vector<ImageItem> found = store->items();
        for (const auto& item : found)
            if (const auto taken = takenName(*store, item, options.onlySmaller && options.outputFolder)) {
                ++skipped;
                printLine(reports, options.json ? skippedJson(shown(item), *taken) : skippedLine(shown(item), *taken));
                store->remove(item.id);
            }
    }

    int failures = 0;
    const auto answer = [&](const fs::path& path, const char* message) {
        ++failures;
        const std::string name = path == fromInput ? "-" : path.native();
        printLine(reports, options.json ? failureJson(name, message) : failureLine(name, message, ascii));
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
        if (failures == 0 && skipped == 0) printLine(stderr, "No images found.");
        if (failures + skipped > 0 && !options.json) printLine(reports, totalsLines({}, failures, skipped, ascii).back());
        return failures == 0 ? 0 : 1;
    }

    store->subscribe(&reporter);
    store->startConversion();
    while (store->isRunning()) queue.runOne(std::chrono::seconds(1));
    reporter.clearBar();
    store->unsubscribe(&reporter);

    if (options.json) {
        for (const auto& item : store->items())
            if (notStarted(item)) printLine(reports, resultJson(shown(item)));
    } else {
        for (const auto& line : totalsLines(store->items(), failures, skipped, ascii)) printLine(reports, line);
    }
    bool allDone = failures == 0;
    for (const auto& item : store->items()) allDone = allDone && item.status.kind() == ItemStatus::done;
    if (allDone && options.toStandardOutput) {
        const ImageItem& item = store->items().front();
        const int fd = ::open(item.outputURL->c_str(), O_RDONLY | O_CLOEXEC);
        const bool copied = fd >= 0 && copyAll(fd, STDOUT_FILENO);
        if (!copied) printLine(stderr, "krumple-cli: can't copy the output to standard output: " + std::string(std::strerror(errno)));
        if (fd >= 0) ::close(fd);
        return copied ? 0 : 1;
    }
    return allDone ? 0 : 1;
}

}  // namespace krumple::cli
