#include "store.h"

#include <algorithm>
#include <utility>

#include "batch_task.h"
#include "processor_count.h"

namespace krumple {
namespace {

OutputFormat initialFormat() {
    const auto& available = OutputFormat::available();
    return available.empty() ? OutputFormat(OutputFormat::jpeg) : available.front();
}

}  // namespace

Store::Store(Executor toMain)
    : toMain_(std::move(toMain)), processorCount_(activeProcessorCount), format_(initialFormat()) {}

Store::~Store() {
    // Adding threads never wait for the main thread, so they can be joined;
    // jthread asks them to stop first.
    addTasks_.clear();
    runTask_.reset();
}

// --- Collaborators -----------------------------------------------------------

void Store::subscribe(StoreObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Store::unsubscribe(StoreObserver* observer) {
    std::erase(observers_, observer);
}

void Store::setPanels(Panels* panels) { panels_ = panels; }

void Store::setProcessorCount(std::function<int()> count) { processorCount_ = std::move(count); }
void Store::setMemoryPlan(std::function<MemoryPlan()> plan) { memoryPlan_ = std::move(plan); }

void Store::notify(const StoreChange& change) {
    // An observer may subscribe or unsubscribe others while being told.
    const std::vector<StoreObserver*> snapshot = observers_;
    for (StoreObserver* observer : snapshot) {
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->storeChanged(change);
    }
}

void Store::notifyField(StoreField field) { notify(StoreChange{field, {}, {}, {}}); }

void Store::notifyItems(StoreChange::ItemsEdit edit, std::vector<ItemId> ids, std::vector<std::size_t> rows) {
    notify(StoreChange{StoreField::items, edit, std::move(ids), std::move(rows)});
}

// --- Setters -----------------------------------------------------------------

namespace {
template <typename T>
bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}
}  // namespace

void Store::setSelection(std::optional<ItemId> id) {
    if (assign(selection_, id)) notifyField(StoreField::selection);
}
void Store::setFormat(OutputFormat format) {
    if (assign(format_, format)) notifyField(StoreField::format);
}
void Store::setQuality(double quality) {
    if (assign(quality_, quality)) notifyField(StoreField::quality);
}
void Store::setQualityMode(QualityMode mode) {
    if (assign(qualityMode_, mode)) notifyField(StoreField::qualityMode);
}
void Store::setTargetDistance(double distance) {
    if (assign(targetDistance_, distance)) notifyField(StoreField::targetDistance);
}
void Store::setMaxFileSize(std::int64_t bytes) {
    if (assign(maxFileSize_, bytes)) notifyField(StoreField::maxFileSize);
}
void Store::setCapsAutomatic(bool on) {
    if (assign(capsAutomatic_, on)) notifyField(StoreField::capsAutomatic);
}
void Store::setLimitWidth(bool on) {
    if (assign(limitWidth_, on)) notifyField(StoreField::limitWidth);
}
void Store::setMaxWidth(std::int64_t pixels) {
    if (assign(maxWidth_, pixels)) notifyField(StoreField::maxWidth);
}
void Store::setLimitedSide(LimitedSide side) {
    if (assign(limitedSide_, side)) notifyField(StoreField::limitedSide);
}
void Store::setStripMetadata(bool on) {
    if (assign(stripMetadata_, on)) notifyField(StoreField::stripMetadata);
}
void Store::setKeepDates(bool on) {
    if (assign(keepDates_, on)) notifyField(StoreField::keepDates);
}
void Store::setOnlySmaller(bool on) {
    if (assign(onlySmaller_, on)) notifyField(StoreField::onlySmaller);
}
void Store::setKeepStructure(bool on) {
    if (assign(keepStructure_, on)) notifyField(StoreField::keepStructure);
}
void Store::setOutputMode(OutputMode mode) {
    if (assign(outputMode_, mode)) notifyField(StoreField::outputMode);
}
void Store::setOutputFolder(std::optional<Path> folder) {
    if (assign(outputFolder_, std::move(folder))) notifyField(StoreField::outputFolder);
}

// --- Queries -----------------------------------------------------------------

const ImageItem* Store::item(ItemId id) const {
    const auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : &items_[found->second];
}

std::optional<std::size_t> Store::row(ItemId id) const {
    const auto found = rows_.find(id);
    if (found == rows_.end()) return std::nullopt;
    return found->second;
}

std::optional<ImageItem> Store::selectedItem() const {
    if (!selection_) return std::nullopt;
    const ImageItem* selected = item(*selection_);
    if (!selected) return std::nullopt;
    return *selected;
}

bool Store::canConvert() const {
    return !items_.empty() && !isRunning_ &&
           (outputMode_ == OutputMode::alongside || outputFolder_.has_value());
}

// --- Removal -----------------------------------------------------------------

void Store::rebuildRows() {
    rows_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) rows_.emplace(items_[i].id, i);
}

void Store::removeWhere(const std::function<bool(const ImageItem&)>& doomed) {
    if (std::none_of(items_.begin(), items_.end(), doomed)) return;
    std::vector<ItemId> ids;
    std::vector<std::size_t> rows;
    std::vector<ImageItem> kept;
    kept.reserve(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (doomed(items_[i])) {
            ids.push_back(items_[i].id);
            rows.push_back(i);
            listed_.erase(standardizedPath(items_[i].url));
        } else {
            kept.push_back(std::move(items_[i]));
        }
    }
    items_ = std::move(kept);
    rebuildRows();
    notifyItems(StoreChange::ItemsEdit::removed, std::move(ids), std::move(rows));
}

void Store::remove(ItemId id) {
    if (isRunning_) return;
    removeWhere([id](const ImageItem& it) { return it.id == id; });
    if (selection_ == id) setSelection(std::nullopt);
}

void Store::removeSelected() {
    if (!selection_ || isRunning_) return;
    const ItemId id = *selection_;
    removeWhere([id](const ImageItem& it) { return it.id == id; });
    setSelection(std::nullopt);
}

void Store::clear() {
    if (isRunning_) return;
    removeWhere([](const ImageItem&) { return true; });
    setSelection(std::nullopt);
}

}  // namespace krumple
