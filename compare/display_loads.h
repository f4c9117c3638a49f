#pragma once

// The comparison's two display images and when they are (re)loaded.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>

#include "display_image.h"
#include "image_item.h"

namespace krumple {

// What drives reloading: the item's identity, its revision and whether it is done.
struct LoadKey {
    ItemId id;
    std::int64_t revision = 0;
    bool done = false;
    friend bool operator==(const LoadKey&, const LoadKey&) = default;
};

LoadKey loadKey(const ImageItem& item);

class DisplayLoads {
public:
    using Result = std::optional<DisplayImage>;
    using Deliver = std::function<void(Result)>;
    // Decodes `file` away from the calling thread and later calls `deliver`
    // with the result on the calling thread. After `stop` is requested the
    // result is no longer wanted: the load may be skipped and deliver dropped.
    using StartLoad = std::function<void(const std::filesystem::path& file, std::stop_token stop, Deliver deliver)>;

    // `runStarted` is told at the start of every run (the loupes go away),
    // `changed` after every change of original() or converted().
    DisplayLoads(StartLoad start, std::function<void()> runStarted, std::function<void()> changed);
    ~DisplayLoads();
    DisplayLoads(const DisplayLoads&) = delete;
    DisplayLoads& operator=(const DisplayLoads&) = delete;

    // Starts a run when the item's key differs from the last run's key.
    void show(const ImageItem& item);
    // Forgets everything, as if new; loads under way are dropped.
    void reset();

    const Result& original() const { return original_; }
    const Result& converted() const { return converted_; }

private:
    struct OriginalLoad {
        std::filesystem::path url;
        std::uint64_t ticket;
        std::stop_source stop;
    };

    void originalArrived(std::uint64_t ticket, Result result);
    void loadConverted();
    void stopLoads();
    // Closures handed to the loader carry this, and do nothing once we are gone.
    template <class F>
    Deliver guarded(F f);

    StartLoad start_;
    std::function<void()> runStarted_;
    std::function<void()> changed_;

    std::optional<LoadKey> key_;
    std::optional<std::filesystem::path> output_;  // the current run's converted file, if any
    Result original_;
    Result converted_;
    std::optional<std::filesystem::path> originalURL_;

    std::optional<OriginalLoad> originalLoad_;  // the original the current run waits for
    std::stop_source convertedStop_;
    std::uint64_t run_ = 0;
    std::uint64_t nextTicket_ = 0;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace krumple
