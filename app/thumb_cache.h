#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>

namespace krumple::app {

// Thumbnails of source files, keyed by path bytes, decoded at 128 pixels on
// worker threads and kept within a memory budget. Used on the main thread only;
// `loaded` tells when a decode has landed. A file that cannot be decoded is
// not tried again until it has left the screen and come back (keepOnly()).
class ThumbCache : public QObject {
    Q_OBJECT
public:
    using Decoder = std::function<QImage(const std::filesystem::path&)>;

    static constexpr int maxPixel = 128;

    // The one cache of the process, made on first use; lives as long as the application object.
    static ThumbCache& shared();

    ThumbCache(qsizetype byteBudget, int workers, Decoder decoder = decodeThumbnail);
    ~ThumbCache() override;
    ThumbCache(const ThumbCache&) = delete;
    ThumbCache& operator=(const ThumbCache&) = delete;

    // The thumbnail when decoded; otherwise nullptr and a decode is queued
    // (newest requests first). The pointer is good until the next call.
    const QImage* find(const std::filesystem::path& path);
    // Drops queued decodes and remembered failures of paths not in `onScreen`.
    void keepOnly(const QSet<QByteArray>& onScreen);

    int decodesFinished() const { return decodesFinished_; }

    static QImage decodeThumbnail(const std::filesystem::path& path);

Q_SIGNALS:
    void loaded(const QByteArray& path);

private:
    void work(std::stop_token stop);
    void landed(const QByteArray& key, const QImage& image);

    Decoder decoder_;
    QCache<QByteArray, QImage> images_;
    // Main thread: queued or being decoded, and files that failed while on screen.
    QSet<QByteArray> wanted_;
    QSet<QByteArray> failed_;
    int decodesFinished_ = 0;

    std::mutex mutex_;
    std::condition_variable_any queued_;
    std::deque<QByteArray> queue_;  // guarded by mutex_; the newest at the back
    std::vector<std::jthread> workers_;
};

}  // namespace krumple::app
