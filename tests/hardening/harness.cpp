#include "harness.h"

#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "fmt.h"
#include "image_io.h"

namespace krumple::test {

void tally(std::string_view what, std::int64_t n) {
    const char* ledger = std::getenv("KRUMPLE_LEDGER");
    if (!ledger || !*ledger || n == 0) return;
    // One short line per append: O_APPEND keeps parallel tests' lines whole.
    std::ofstream(ledger, std::ios::app) << what << ' ' << n << '\n';
}

vips::VImage noise(int width, int height) {
    ensureImageLibrary();
    const auto band = [&] { return vips::VImage::gaussnoise(width, height, vips::VImage::option()->set("sigma", 60.0)); };
    return vips::VImage::bandjoin({band(), band(), band()})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

std::vector<fs::path> filesUnder(const fs::path& root) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error)) found.push_back(it->path());
    }
    return found;
}

FolderSnapshot::FolderSnapshot(const fs::path& root) {
    for (const auto& file : filesUnder(root)) files_.emplace(file, readFile(file));
}

std::vector<fs::path> FolderSnapshot::damaged() const {
    std::vector<fs::path> bad;
    for (const auto& [file, bytes] : files_) {
        if (!fs::is_regular_file(file) || readFile(file) != bytes) bad.push_back(file);
    }
    tally("checked", static_cast<std::int64_t>(files_.size() - bad.size()));
    tally("damaged", static_cast<std::int64_t>(bad.size()));
    return bad;
}

std::vector<fs::path> brokenFiles(const std::vector<fs::path>& outputs) {
    std::vector<fs::path> broken;
    for (const auto& file : outputs) {
        const auto source = ImageSource::open(file);
        if (!source || !source->decodesCleanly()) broken.push_back(file);
    }
    tally("checked", static_cast<std::int64_t>(outputs.size() - broken.size()));
    tally("damaged", static_cast<std::int64_t>(broken.size()));
    return broken;
}

void expectExactly(const fs::path& folder, std::vector<fs::path> outputs) {
    std::vector<fs::path> found = filesUnder(folder);
    std::ranges::sort(found);
    std::ranges::sort(outputs);
    EXPECT_EQ(found, outputs) << "temporary or stray files under " << folder;
    EXPECT_EQ(brokenFiles(outputs), std::vector<fs::path>{});
}

ScratchMount::ScratchMount(const fs::path& at, std::int64_t bytes, bool readOnly) : at_(at) {
    fs::create_directories(at);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) != 0)
        why = std::string("mounting a tmpfs needs root and a machine that allows it: ") + std::strerror(errno);
}

ScratchMount::~ScratchMount() {
    if (why.empty()) ::umount2(at_.c_str(), MNT_DETACH);
}

void Batch::addSources(int n, int side, const std::string& extension) {
    fs::create_directories(src);
    const vips::VImage picture = noise(side, side);
    for (int i = 0; i < n; ++i) picture.write_to_file((src / ("p" + std::to_string(i) + "." + extension)).c_str());
    ASSERT_EQ(addAndWait({src}), static_cast<std::size_t>(n));
}

void Batch::convertInto(const fs::path& folder, OutputFormat format, bool wait) {
    fs::create_directories(folder);
    store->setFormat(format);
    store->setOutputFolder(folder);
    store->setOutputMode(OutputMode::folder);
    store->startConversion();
    if (wait) finishBatch();
}

Strings Batch::outcomes() const {
    static const char* const kinds[] = {"pending", "converting", "done"};
    Strings texts;
    for (const auto& it : store->items())
        texts.push_back(it.status.kind() == ItemStatus::failed ? Fmt::failureText(it.status.reason()) : kinds[it.status.kind()]);
    return texts;
}

std::vector<fs::path> Batch::outputs() const {
    std::vector<fs::path> paths;
    for (const auto& it : store->items())
        if (it.status.kind() == ItemStatus::done) paths.push_back(it.outputURL.value_or(fs::path()));
    return paths;
}

}  // namespace krumple::test
