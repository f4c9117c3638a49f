#include "test_support.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "image_io.h"

namespace krumple::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "krumple-test-XXXXXX").native();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    // Folders a test made unreadable must be opened again to be removed.
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(root_, error);
}

namespace {
// Not flat, so encoders have something to do; three real bands.
vips::VImage testPicture(const fs::path& file, int width, int height) {
    ensureImageLibrary();
    fs::create_directories(file.parent_path());
    const vips::VImage xy = vips::VImage::xyz(width, height).cast(VIPS_FORMAT_UCHAR);
    return vips::VImage::bandjoin({xy[0], xy[1], vips::VImage::black(width, height).cast(VIPS_FORMAT_UCHAR)})
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}
}  // namespace

void makeJpeg(const fs::path& file, int width, int height) { testPicture(file, width, height).jpegsave(file.c_str()); }
void makePng(const fs::path& file, int width, int height) { testPicture(file, width, height).pngsave(file.c_str()); }

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

StoreTest::StoreTest() : store(std::make_shared<Store>(queue.executor())) {}

StoreTest::~StoreTest() {
    // No batch may outlive the queue it posts to.
    if (store && store->isRunning()) {
        store->cancelRunTask();
        queue.runUntil([this] { return !store->isRunning(); });
    }
}

std::size_t StoreTest::addAndWait(std::vector<fs::path> urls) {
    std::optional<std::size_t> appended;
    store->add(std::move(urls), [&appended](std::size_t n) { appended = n; });
    EXPECT_TRUE(queue.runUntil([&] { return appended.has_value(); }));
    return appended.value_or(0);
}

void StoreTest::finishBatch() {
    ASSERT_TRUE(queue.runUntil([this] { return !store->isRunning(); }));
    EXPECT_FALSE(store->hasRunTask());
}

std::vector<std::string> StoreTest::fileNames() const {
    std::vector<std::string> names;
    for (const auto& it : store->items()) names.push_back(it.url.filename().native());
    return names;
}

}  // namespace krumple::test
