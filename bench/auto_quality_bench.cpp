// Automatic quality over real photos, against each photo's floor:
//   krumple-bench-auto FORMAT TARGET PHOTO...
// For each photo: Auto's bytes, chosen quality, reported distance and CPU
// time; butteraugli_main's 3-norm of Auto's output; a fixed-quality (0.8)
// conversion's CPU time; and the floor, the lowest whole percent whose
// full-size file meets TARGET found by bisection (libjxl's API on the whole
// picture, as butteraugli_main computes it). Then Auto's bytes
// against the floor and against the one fixed quality that meets TARGET on
// every photo, its CPU against the fixed batch, and the largest disagreement
// between the distance Auto reported and butteraugli_main's.

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
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
    const auto fixedAt = [&](int percent) { return ConvertSettings{*format, percent / 100.0, std::nullopt, false}; };

    TextTable table({"photo", "pixels", "auto bytes", "auto %", "reported", "butteraugli_main", "off by",
                     "auto CPU s", "fixed 0.8 CPU s", "floor %", "floor bytes"});
    double autoCpu = 0, fixedCpu = 0, worstDisagreement = 0;
    std::int64_t autoBytes = 0, floorBytes = 0;
    int worstFloor = 0, within = 0;
    std::vector<fs::path> photos(argv + 3, argv + argc);
    for (const fs::path& photo : photos) {
        const Rgb reference = decodePhoto(photo, 0);
        writePpm(reference, work / "reference.ppm");
        ConvertSettings automatic = fixedAt(80);
        automatic.targetDistance = target;
        const TimedConversion chosen = convertWritten(photo, work / ("auto." + ext), automatic);
        const double checked = outputToolDistance(work / "reference.ppm", work / ("auto." + ext));
        within += checked <= target ? 1 : 0;
        const double reported = chosen.result.distance.value_or(0);
        const double off = std::abs(reported - checked) / checked;
        worstDisagreement = std::max(worstDisagreement, off);
        const TimedConversion fixed = convertWritten(photo, work / ("fixed." + ext), fixedAt(80));

        // The floor at full size, found on its own by bisection over 5–99 %:
        // the search under test is not asked.
        std::map<int, std::int64_t> sizes;
        std::map<int, double> distances;
        const auto measure = [&](int percent) {
            if (!distances.contains(percent)) {
                const fs::path probe = work / ("probe." + ext);
                sizes[percent] = convertWritten(photo, probe, fixedAt(percent)).result.size;
                distances[percent] = butteraugli3Norm(reference, decodePhoto(probe, 0));
            }
            return distances[percent];
        };
        int lo = 5, hi = 99, floor = 99;
        while (lo <= hi) {
            const int mid = (lo + hi) / 2;
            if (measure(mid) <= target) {
                floor = mid;
                hi = mid - 1;
            } else {
                lo = mid + 1;
            }
        }
        measure(floor);
        const int autoPercent = static_cast<int>(std::lround(chosen.result.quality.value_or(0.8) * 100));
        worstFloor = std::max(worstFloor, floor);
        autoCpu += chosen.cpu;
        fixedCpu += fixed.cpu;
        autoBytes += chosen.result.size;
        floorBytes += sizes.at(floor);
        // Plasma's wallpapers are named by their size: their folder names them.
        const std::string name = photo.parent_path().filename() == "images"
                                     ? photo.parent_path().parent_path().parent_path().filename().string()
                                     : photo.filename().string();
        table.add({name, std::to_string(reference.width) + "x" + std::to_string(reference.height),
                   std::to_string(chosen.result.size), std::to_string(autoPercent), bench::fixed(reported, 3),
                   bench::fixed(checked, 3), bench::fixed(100 * off, 1) + " %", bench::fixed(chosen.cpu, 2),
                   bench::fixed(fixed.cpu, 2), std::to_string(floor), std::to_string(sizes.at(floor))});
        // Each row as it comes, so a long run that is stopped still shows what it measured.
        std::cerr << name << ": " << chosen.result.size << " bytes at " << autoPercent
                  << " %, reported " << bench::fixed(reported, 3) << ", butteraugli_main " << bench::fixed(checked, 3)
                  << ", CPU " << bench::fixed(chosen.cpu, 2) << " s against " << bench::fixed(fixed.cpu, 2)
                  << " s, floor " << floor << " % (" << sizes.at(floor) << " bytes)\n";
    }
    table.print(std::cout);

    // The whole set at the one fixed quality that meets the target everywhere.
    std::int64_t worstBytes = 0;
    for (const fs::path& photo : photos)
        worstBytes += convertWritten(photo, work / ("worst." + ext), fixedAt(worstFloor)).result.size;
    std::cout << "\nformat " << ext << ", target " << target << ", " << photos.size() << " photos\n"
              << "within target (butteraugli_main): " << within << " of " << photos.size() << "\n"
              << "largest disagreement of the reported distance with butteraugli_main: "
              << bench::fixed(100 * worstDisagreement, 1) << " %\n"
              << "auto bytes: " << autoBytes << " = " << bench::fixed(double(autoBytes) / double(floorBytes), 3)
              << " x the floor (" << floorBytes << "), "
              << bench::fixed(double(autoBytes) / double(worstBytes), 3) << " x the one fixed quality meeting it on "
              << "every photo (" << worstFloor << " %, " << worstBytes << " bytes)\n"
              << "CPU: auto " << bench::fixed(autoCpu, 1) << " s, fixed 0.8 " << bench::fixed(fixedCpu, 1)
              << " s = " << bench::fixed(autoCpu / fixedCpu, 2) << " x\n";
    fs::remove_all(work);
    return 0;
}
