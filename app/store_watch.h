#pragma once

#include <functional>
#include <utility>

#include "store.h"

namespace krumple::app {

// Calls `onChange` for every change of the store while it exists. Widgets keep
// one as a member; the store must outlive it.
class StoreWatch final : public StoreObserver {
public:
    StoreWatch(Store& store, std::function<void(const StoreChange&)> onChange)
        : store_(store), onChange_(std::move(onChange)) {
        store_.subscribe(this);
    }
    ~StoreWatch() { store_.unsubscribe(this); }
    StoreWatch(const StoreWatch&) = delete;
    StoreWatch& operator=(const StoreWatch&) = delete;

    void storeChanged(const StoreChange& change) override { onChange_(change); }

private:
    Store& store_;
    std::function<void(const StoreChange&)> onChange_;
};

}  // namespace krumple::app
