#include "batch_commands.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;

constexpr int quality = 80;  // krumple-cli's 0.8

Argv xargsEach(const StagedPhotos& photos, int parallel, Argv command) {
    Argv a{"xargs", "-0", "-a", photos.stemList.string(), "-P", std::to_string(parallel), "-I{}"};
    a.insert(a.end(), command.begin(), command.end());
    return a;
}

std::string inputPattern(const StagedPhotos& photos) { return (photos.folder / "{}.jpg").string(); }
std::string outputPattern(const fs::path& out, const BatchJob& job) { return (out / ("{}." + job.extension)).string(); }

}  // namespace

StagedPhotos stagePhotos(const std::vector<fs::path>& photos, const fs::path& work) {
    StagedPhotos staged{.folder = work / "photos", .stems = {}, .stemList = work / "photos.list"};
    fs::remove_all(staged.folder);
    fs::create_directories(staged.folder);
    std::set<std::string> taken;
    std::ofstream list(staged.stemList, std::ios::binary);
    for (const auto& photo : photos) {
        std::string stem = photo.stem().string();
        for (int n = 2; !taken.insert(stem).second; ++n) stem = photo.stem().string() + "-" + std::to_string(n);
        fs::copy_file(photo, staged.file(stem), fs::copy_options::overwrite_existing);
        staged.stems.push_back(stem);
        list << stem << '\0';
    }
    if (!list) throw std::runtime_error("can't write " + staged.stemList.string());
    return staged;
}

Argv krumpleCliBatch(const ToolPaths& tools, const BatchJob& job, const StagedPhotos& photos, const fs::path& out) {
    Argv a{tools.cli.string(), "--format", job.format, "--quality", "0.8", "--out", out.string()};
    if (job.maxWidth) {
        a.push_back("--max-width");
        a.push_back(std::to_string(*job.maxWidth));
    }
    for (const auto& stem : photos.stems) a.push_back(photos.file(stem).string());
    return a;
}

Argv vipsBatch(const BatchJob& job, const StagedPhotos& photos, const fs::path& out, int parallel) {
    const std::string target = outputPattern(out, job) + "[Q=" + std::to_string(quality) + "]";
    if (!job.maxWidth) return xargsEach(photos, parallel, {"vips", "copy", inputPattern(photos), target});
    // The limit is on the width only, as krumple-cli's: a height no photo reaches
    // (libvips' largest coordinate), and never enlarged.
    return xargsEach(photos, parallel,
                     {"vips", "thumbnail", inputPattern(photos), target, std::to_string(*job.maxWidth), "--height",
                      "10000000", "--size", "down"});
}

Argv magickBatch(const ToolPaths& tools, const BatchJob& job, const StagedPhotos& photos, const fs::path& out,
                 int parallel) {
    Argv command{tools.convert.string(), inputPattern(photos)};
    if (job.maxWidth) {
        command.push_back("-resize");
        command.push_back(std::to_string(*job.maxWidth) + "x>");
    }
    command.push_back("-quality");
    command.push_back(std::to_string(quality));
    command.push_back(outputPattern(out, job));
    return xargsEach(photos, parallel, command);
}

}  // namespace krumple::bench
