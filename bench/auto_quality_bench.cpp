// Automatic quality against fixed quality, over real photos:
//   krumple-bench-auto FORMAT TARGET PHOTO...
// For each photo: Auto's bytes, chosen quality and CPU time; its output's
// distance at full size from butteraugli_main; a fixed-quality conversion's
// CPU time; and the lowest fixed quality meeting TARGET at full size (libjxl's
// API, as butteraugli_main computes it). Then the one fixed quality that meets
// TARGET on every photo, and the bytes of the whole set at it.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "butteraugli_distance.h"
#include "converter.h"
#include "image_library.h"
#include "output_checks.h"
#include "rgb_image.h"
#include "text_table.h"

namespace fs = std::filesystem;
using namespace krumple;
using namespace krumple::bench;

namespace {

Rgb decodedOutput(const fs::path& file) { return decodePhoto(file, 0); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: krumple-bench-auto FORMAT TARGET PHOTO...\n";
        return 2;
    }
    ensureImageLibrary();
    const auto format = OutputFormat::fromRawValue(argv[1]);
    const double target = std::strtod(argv[2], nullptr);
    if (!format || !(target > 0)) return 2;
    const fs::path work = fs::temp_directory_path() / ("krumple-bench-auto-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string ext(format->fileExtension());

    TextTable table({"photo", "pixels", "auto bytes", "auto quality", "search distance", "butteraugli_main",
                     "auto CPU s", "fixed 0.8 CPU s", "lowest fixed quality", "its bytes"});
    double autoCpu = 0, fixedCpu = 0;
    std::int64_t autoBytes = 0, ownLowestBytes = 0;
    int worstQuality = 0, within = 0;
    std::vector<fs::path> photos(argv + 3, argv + argc);
    for (const fs::path& photo : photos) {
        const Rgb reference = decodePhoto(photo, 0);
        writePpm(reference, work / "reference.ppm");
        ConvertSettings automatic{*format, 0.8, std::nullopt, false};
        automatic.targetDistance = target;
        const TimedConversion chosen = convertWritten(photo, work / ("auto." + ext), automatic);
        const double checked = outputToolDistance(work / "reference.ppm", work / ("auto." + ext));
        within += checked <= target ? 1 : 0;
        const TimedConversion fixed = convertWritten(photo, work / ("fixed." + ext), ConvertSettings{*format, 0.8, std::nullopt, false});

        // The lowest fixed quality meeting the target at full size.
        int lo = 5, hi = 99, lowest = 99;
        std::int64_t lowestBytes = 0;
        while (lo <= hi) {
            const int mid = (lo + hi) / 2;
            const fs::path probe = work / ("probe." + ext);
            const std::int64_t bytes = convertWritten(photo, probe, ConvertSettings{*format, mid / 100.0, std::nullopt, false}).result.size;
            if (butteraugli3Norm(reference, decodedOutput(probe)) <= target) {
                lowest = mid;
                lowestBytes = bytes;
                hi = mid - 1;
            } else {
                lo = mid + 1;
            }
        }
        if (lowestBytes == 0)  // nothing met the target: the highest quality stands in
            lowestBytes = convertWritten(photo, work / ("probe." + ext), ConvertSettings{*format, 0.99, std::nullopt, false}).result.size;
        worstQuality = std::max(worstQuality, lowest);
        autoCpu += chosen.cpu;
        fixedCpu += fixed.cpu;
        autoBytes += chosen.result.size;
        ownLowestBytes += lowestBytes;
        table.add({photo.filename().string(), std::to_string(reference.width) + "x" + std::to_string(reference.height),
                   std::to_string(chosen.result.size), bench::fixed(chosen.result.quality.value_or(0), 2),
                   bench::fixed(chosen.result.distance.value_or(0), 3), bench::fixed(checked, 3),
                   bench::fixed(chosen.cpu, 2), bench::fixed(fixed.cpu, 2), std::to_string(lowest),
                   std::to_string(lowestBytes)});
        // Each row as it comes, so a long run that is stopped still shows what it measured.
        std::cerr << photo.filename().string() << ": " << chosen.result.size << " bytes, quality "
                  << bench::fixed(chosen.result.quality.value_or(0), 2) << ", search "
                  << bench::fixed(chosen.result.distance.value_or(0), 3) << ", butteraugli_main "
                  << bench::fixed(checked, 3) << ", CPU " << bench::fixed(chosen.cpu, 2) << " s against "
                  << bench::fixed(fixed.cpu, 2) << " s, lowest fixed " << lowest << "\n";
    }
    table.print(std::cout);

    // The whole set at the one fixed quality that meets the target everywhere.
    std::int64_t worstBytes = 0;
    for (const fs::path& photo : photos)
        worstBytes += convertWritten(photo, work / ("worst." + ext), ConvertSettings{*format, worstQuality / 100.0, std::nullopt, false}).result.size;
    std::cout << "\nformat " << ext << ", target " << target << ", " << photos.size() << " photos\n"
              << "within target (butteraugli_main): " << within << " of " << photos.size() << "\n"
              << "one fixed quality meeting it on every photo: " << worstQuality << " %, " << worstBytes << " bytes\n"
              << "auto bytes: " << autoBytes << " = " << bench::fixed(double(autoBytes) / double(worstBytes), 3)
              << " x that\n"
              // What a per-photo choice could reach with an exact, full-size measure.
              << "each photo at its own lowest: " << ownLowestBytes << " = "
              << bench::fixed(double(ownLowestBytes) / double(worstBytes), 3) << " x that\n"
              << "CPU: auto " << bench::fixed(autoCpu, 1) << " s, fixed 0.8 " << bench::fixed(fixedCpu, 1)
              << " s = " << bench::fixed(autoCpu / fixedCpu, 2) << " x\n";
    fs::remove_all(work);
    return 0;
}
