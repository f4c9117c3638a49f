#include "thumb_cache.h"

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>

#include "bitmap.h"
#include "converter.h"
#include "image_library.h"
#include "paths.h"

namespace krumple::app {
namespace {

ThumbCache* sharedCache = nullptr;

std::filesystem::path pathOf(const QByteArray& key) {
    return std::filesystem::path(std::string(key.constData(), static_cast<std::size_t>(key.size())));
}

}  // namespace

ThumbCache& ThumbCache::shared() {
    if (!sharedCache) {
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        // 64 MB holds about a thousand 128-pixel thumbnails.
        sharedCache = new ThumbCache(qsizetype{64} << 20, std::min(cores, 4));
        sharedCache->setParent(QCoreApplication::instance());
    }
    return *sharedCache;
}

ThumbCache::ThumbCache(qsizetype byteBudget, int workers, Decoder decoder) : decoder_(std::move(decoder)) {
    images_.setMaxCost(byteBudget);
    for (int i = 0; i < std::max(1, workers); ++i)
        workers_.emplace_back([this](std::stop_token stop) { work(stop); });
}

ThumbCache::~ThumbCache() {
    for (auto& worker : workers_) worker.request_stop();
    queued_.notify_all();
    workers_.clear();  // joins; a decode under way finishes first
    if (sharedCache == this) sharedCache = nullptr;
}

const QImage* ThumbCache::find(const std::filesystem::path& path) {
    const QByteArray key = pathBytes(path);
    if (const QImage* image = images_.object(key)) return image;
    if (wanted_.contains(key) || failed_.contains(key)) return nullptr;
    wanted_.insert(key);
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(key);
    }
    queued_.notify_one();
    return nullptr;
}

void ThumbCache::keepOnly(const QSet<QByteArray>& onScreen) {
    for (auto it = failed_.begin(); it != failed_.end();)
        it = onScreen.contains(*it) ? std::next(it) : failed_.erase(it);
    std::vector<QByteArray> dropped;
    {
        const std::lock_guard lock(mutex_);
        const auto kept = std::stable_partition(queue_.begin(), queue_.end(),
                                                [&](const QByteArray& key) { return onScreen.contains(key); });
        dropped.assign(kept, queue_.end());
        queue_.erase(kept, queue_.end());
    }
    for (const QByteArray& key : dropped) wanted_.remove(key);
}

void ThumbCache::work(std::stop_token stop) {
    // Thumbnails may wait; the window's own thread and the conversions may not.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    while (true) {
        QByteArray key;
        {
            std::unique_lock lock(mutex_);
            if (!queued_.wait(lock, stop, [this] { return !queue_.empty(); })) break;
            // Rows just scrolled to are the ones the user is looking at.
            key = std::move(queue_.back());
            queue_.pop_back();
        }
        QImage image = decoder_(pathOf(key));
        QMetaObject::invokeMethod(
            this, [this, key, image = std::move(image)] { landed(key, image); }, Qt::QueuedConnection);
    }
    releaseImageLibraryThread();
}

void ThumbCache::landed(const QByteArray& key, const QImage& image) {
    ++decodesFinished_;
    wanted_.remove(key);
    if (image.isNull()) {
        failed_.insert(key);
        return;
    }
    images_.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    Q_EMIT loaded(key);
}

QImage ThumbCache::decodeThumbnail(const std::filesystem::path& path) {
    const auto loaded = Converter::loadForDisplay(path, maxPixel);
    if (!loaded || loaded->image.isNull()) return {};
    const Bitmap& bitmap = loaded->image;
    const QImage view(bitmap.pixels->data(), bitmap.width, bitmap.height, static_cast<qsizetype>(bitmap.stride()),
                      bitmap.hasAlpha() ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    // Premultiplied is what the painter draws fastest; the conversion copies.
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace krumple::app
