#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store.h"
#include "task_queue.h"

namespace krumple::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return root_; }
    fs::path operator/(const std::string& name) const { return root_ / name; }

private:
    fs::path root_;
};

// Small real images written by libvips. Parent folders are created.
void makeJpeg(const fs::path& file, int width = 24, int height = 16);
void makePng(const fs::path& file, int width = 24, int height = 16);
void writeText(const fs::path& file, const std::string& text);
std::string readFile(const fs::path& file);

// A store on a queue that the test drains by hand.
class StoreTest : public ::testing::Test {
protected:
    StoreTest();
    ~StoreTest() override;

    // Adds and waits for the rows to be appended; returns how many were.
    std::size_t addAndWait(std::vector<fs::path> urls);
    // Drains the queue until the running batch has ended.
    void finishBatch();
    std::vector<std::string> fileNames() const;  // of the items, in order
    const ImageItem& at(std::size_t row) const { return store->items().at(row); }

    TaskQueue queue;
    std::shared_ptr<Store> store;
    TempDir dir;
};

}  // namespace krumple::test
