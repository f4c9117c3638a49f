// Adding files and folders: walk, probe, de-duplicate, append.

#include <system_error>
#include <utility>

#include "convert_error.h"
#include "converter.h"
#include "folder_walk.h"
#include "image_library.h"
#include "image_names.h"
#include "natural_order.h"
#include "store.h"

namespace krumple {
namespace {

// Appends an item for `url` when it is new and the image library opens it,
// or when it is meant as a picture: then it fails at once with its reason.
void consider(const std::filesystem::path& url, const std::optional<std::filesystem::path>& cameThrough,
              std::unordered_set<std::string>& seen, std::vector<ImageItem>& result) {
    std::string key = standardizedPath(url);
    if (seen.contains(key)) return;
    // By content, whatever the name says.
    const std::optional<int> frames = Converter::readableFrames(url);
    const bool readable = frames.has_value();
    std::error_code error;
    if (!readable && !(std::filesystem::is_regular_file(url, error) && meantAsImage(url))) return;
    seen.insert(std::move(key));

    const std::uintmax_t size = std::filesystem::file_size(url, error);
    ImageItem item;
    item.id = ItemId::random();
    item.url = url;
    item.originalSize = error ? 0 : static_cast<std::int64_t>(size);
    item.cameThrough = cameThrough;
    item.sourceFrames = frames.value_or(1);
    if (!readable) item.status = ItemStatus::failure(ConvertError::unreadable);
    result.push_back(std::move(item));
}

}  // namespace

std::vector<ImageItem> Store::expand(const std::vector<Path>& urls, std::unordered_set<std::string> skipping,
                                     std::stop_token stop) {
    ensureImageLibrary();
    std::vector<ImageItem> result;
    std::unordered_set<std::string>& seen = skipping;
    for (const auto& url : urls) {
        if (stop.stop_requested()) break;
        std::error_code error;
        if (!std::filesystem::is_directory(url, error)) {
            consider(url, std::nullopt, seen, result);
            continue;
        }
        std::vector<Path> files = regularFilesUnder(url, stop);
        sortNaturally(files);
        for (const auto& file : files) {
            if (stop.stop_requested()) break;
            consider(file, url, seen, result);
        }
    }
    return result;
}

void Store::add(std::vector<Path> urls, std::function<void(std::size_t)> done) {
    const std::uint64_t task = nextAddTask_++;
    std::weak_ptr<Store> weak = weak_from_this();
    addTasks_.emplace(task, std::jthread([weak, toMain = toMain_, urls = std::move(urls), skipping = listedPaths(),
                                          task, done = std::move(done)](std::stop_token stop) mutable {
        std::vector<ImageItem> found = expand(urls, std::move(skipping), stop);
        releaseImageLibraryThread();
        toMain([weak, found = std::move(found), task, done = std::move(done)]() mutable {
            if (auto store = weak.lock()) store->appendFound(std::move(found), task, done);
        });
    }));
}

void Store::appendFound(std::vector<ImageItem> found, std::uint64_t task,
                        const std::function<void(std::size_t)>& done) {
    addTasks_.erase(task);  // its thread has posted this and is ending

    // The list may have grown while this request was out.
    std::vector<ItemId> ids;
    std::vector<std::size_t> rows;
    for (auto& it : found) {
        if (!listed_.insert(standardizedPath(it.url)).second) continue;
        ids.push_back(it.id);
        rows.push_back(items_.size());
        rows_.emplace(it.id, items_.size());
        items_.push_back(std::move(it));
    }
    const std::size_t appended = ids.size();
    if (appended > 0) notifyItems(StoreChange::ItemsEdit::appended, std::move(ids), std::move(rows));
    if (done) done(appended);
}

void Store::openPanel() {
    if (!panels_) return;
    std::vector<Path> chosen = panels_->chooseFilesToAdd();
    if (!chosen.empty()) add(std::move(chosen));
}

}  // namespace krumple
