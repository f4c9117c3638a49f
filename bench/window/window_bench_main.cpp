// How long the window's main thread is ever kept from its event loop while
// files are added, thumbnails load and a batch converts. A 1 ms timer on the
// main thread records every gap; the idle window is the peer the busy phases
// are compared with. Prints a Markdown table on stdout.
//
//   krumple-bench-window [--files 10000] [--convert 200] [--cache DIR]

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <QApplication>
#include <QEventLoop>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include "bench_pictures.h"
#include "file_list.h"
#include "gap_recorder.h"
#include "list_totals.h"
#include "krumple_app.h"
#include "main_window.h"
#include "paths.h"
#include "store.h"
#include "thumb_cache.h"

using namespace krumple;

namespace {

struct Options {
    int files = 10000;
    int convert = 200;
    std::filesystem::path cache;
};

Options parse(int argc, char** argv) {
    Options options;
    if (const char* dir = std::getenv("KRUMPLE_BENCH_CACHE"))
        options.cache = dir;
    else if (const char* xdg = std::getenv("XDG_CACHE_HOME"))
        options.cache = std::filesystem::path(xdg) / "krumple-bench";
    else
        options.cache = std::filesystem::path(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") / ".cache/krumple-bench";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--files") options.files = std::atoi(argv[i + 1]);
        else if (flag == "--convert") options.convert = std::atoi(argv[i + 1]);
        else if (flag == "--cache") options.cache = argv[i + 1];
    }
    options.cache /= "window";
    return options;
}

// Runs the event loop until `done` holds or `timeoutMs` passes.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// Pages through the list as a person skimming it would, so rows come on
// screen and ask for thumbnails.
class Skimmer {
public:
    explicit Skimmer(QListView* view) {
        timer_.setInterval(100);
        QObject::connect(&timer_, &QTimer::timeout, [view] {
            QScrollBar* bar = view->verticalScrollBar();
            bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        });
    }
    void start() { timer_.start(); }
    void stop() { timer_.stop(); }

private:
    QTimer timer_;
};

struct Row {
    std::string phase;
    double seconds;
    bench::GapRecorder* gaps;
    int thumbnails;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const Options options = parse(argc, argv);
    std::fprintf(stderr, "pictures in %s\n", options.cache.c_str());
    const auto many = bench::pictureFolder(options.cache, "many", options.files, 96);
    const auto batch = bench::pictureFolder(options.cache, "batch", options.convert, 1024);
    QTemporaryDir outputs;

    app::KrumpleApp krumple;
    krumple.window().resize(1200, 800);
    krumple.show();
    Store& store = krumple.store();
    store.setFormat(OutputFormat::jpeg);
    store.setOutputMode(OutputMode::folder);
    store.setOutputFolder(app::pathFromQt(outputs.path()));
    Skimmer skim(krumple.window().fileList()->view());
    app::ThumbCache& thumbs = app::ThumbCache::shared();
    spinUntil([] { return false; }, 500);  // let the window settle on screen

    bench::GapRecorder idle, adding, converting, together;
    QElapsedTimer clock;
    std::vector<Row> rows;
    auto measure = [&](const std::string& phase, bench::GapRecorder& gaps, const std::function<void()>& begin,
                       const std::function<bool()>& done) {
        std::fprintf(stderr, "%s...\n", phase.c_str());
        const int decodedBefore = thumbs.decodesFinished();
        gaps.start();
        clock.start();
        begin();
        if (!spinUntil(done, 30 * 60 * 1000)) std::fprintf(stderr, "  %s timed out\n", phase.c_str());
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        gaps.stop();
        skim.stop();
        rows.push_back({phase, seconds, &gaps, thumbs.decodesFinished() - decodedBefore});
    };
    auto addAndWait = [&](const std::filesystem::path& folder) {
        bool done = false;
        store.add({folder}, [&done](std::size_t) { done = true; });
        spinUntil([&done] { return done; }, 10 * 60 * 1000);
    };

    const std::string files = std::to_string(options.files);
    const std::string converts = std::to_string(options.convert);

    measure("idle window (the peer)", idle, [] {}, [&clock] { return clock.elapsed() >= 3000; });

    bool added = false;
    measure("add a folder of " + files + " files", adding,
            [&] { store.add({many}, [&added](std::size_t) { added = true; }); }, [&] { return added; });
    store.clear();

    addAndWait(batch);
    measure("convert " + converts + " files, skimming the list", converting,
            [&] {
                skim.start();
                store.startConversion();
            },
            [&] { return !store.isRunning(); });
    store.clear();

    addAndWait(batch);
    bool addedToo = false;
    measure("convert " + converts + " while adding " + files + ", skimming", together,
            [&] {
                skim.start();
                store.startConversion();
                store.add({many}, [&addedToo](std::size_t) { addedToo = true; });
            },
            [&] { return addedToo && !store.isRunning(); });
    const std::size_t listed = store.items().size();
    const auto converted = static_cast<std::size_t>(totalsOf(store.items()).done);

    std::printf("| phase | seconds | timer ticks | longest gap (ms) | 99th percentile (ms) | gaps over 100 ms | "
                "longest gap / idle | thumbnails decoded |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& row : rows)
        std::printf("| %s | %.1f | %zu | %.1f | %.2f | %zu | %.1f× | %d |\n", row.phase.c_str(), row.seconds,
                    row.gaps->ticks(), row.gaps->longestMs(), row.gaps->percentileMs(0.99), row.gaps->over(100.0),
                    row.gaps->longestMs() / std::max(idle.longestMs(), 0.001), row.thumbnails);
    std::printf("\nAfter the last phase: %zu rows listed, %zu converted.\n", listed, converted);
    return 0;
}
