// Automatic quality against fixed quality, over real photos:
//   krumple-bench-auto FORMAT TARGET PHOTO...
// For each photo: Auto's bytes, chosen quality and CPU time; its output's
// distance at full size from butteraugli_main; a fixed-quality conversion's
// CPU time; and the lowest fixed quality meeting TARGET at full size (libjxl's
// API, as butteraugli_main computes it). Then the one fixed quality that meets
// TARGET on every photo, and the bytes of the whole set at it.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include <vips/vips8>

#include "butteraugli_distance.h"
#include "converter.h"
#include "image_library.h"
#include "rgb_image.h"
#include "text_table.h"

namespace fs = std::filesystem;
using namespace krumple;
using namespace krumple::bench;

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Rgb decodedOutput(const fs::path& file) { return decodePhoto(file, 0); }

// The 3-norm butteraugli_main prints for the two files.
double toolDistance(const fs::path& reference, const fs::path& distorted) {
    const std::string command = "butteraugli_main '" + reference.string() + "' '" + distorted.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ::pclose(pipe);
    const auto at = output.find("3-norm: ");
    return at == std::string::npos ? -1 : std::stod(output.substr(at + 8));
}

struct Converted {
    std::int64_t bytes = 0;
    double cpu = 0;
    Converter::Converted result;
};

Converted convertTimed(const fs::path& src, const fs::path& dst, const ConvertSettings& settings) {
    const double start = cpuSeconds();
    const auto result = Converter::convert(src, dst, settings);
    if (!result || !result->written) throw std::runtime_error("conversion failed: " + src.string());
    return {result->size, cpuSeconds() - start, *result};
}

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
                     "auto CPU s", "fixed 0.8 CPU s", "lowest fixed quality"});
    double autoCpu = 0, fixedCpu = 0;
    std::int64_t autoBytes = 0;
    int worstQuality = 0, within = 0;
    std::vector<fs::path> photos(argv + 3, argv + argc);
    for (const fs::path& photo : photos) {
        const Rgb reference = decodePhoto(photo, 0);
        writePpm(reference, work / "reference.ppm");
        ConvertSettings automatic{*format, 0.8, std::nullopt, false};
        automatic.targetDistance = target;
        const Converted chosen = convertTimed(photo, work / ("auto." + ext), automatic);
        // butteraugli_main reads PNG: the output as decoded by libvips.
        vips::VImage::new_from_file((work / ("auto." + ext)).c_str()).write_to_file((work / "auto.png").c_str());
        const double checked = toolDistance(work / "reference.ppm", work / "auto.png");
        within += checked <= target ? 1 : 0;
        const Converted fixed = convertTimed(photo, work / ("fixed." + ext), ConvertSettings{*format, 0.8, std::nullopt, false});

        // The lowest fixed quality meeting the target at full size.
        int lo = 5, hi = 99, lowest = 99;
        while (lo <= hi) {
            const int mid = (lo + hi) / 2;
            const fs::path probe = work / ("probe." + ext);
            convertTimed(photo, probe, ConvertSettings{*format, mid / 100.0, std::nullopt, false});
            if (butteraugli3Norm(reference, decodedOutput(probe)) <= target) {
                lowest = mid;
                hi = mid - 1;
            } else {
                lo = mid + 1;
            }
        }
        worstQuality = std::max(worstQuality, lowest);
        autoCpu += chosen.cpu;
        fixedCpu += fixed.cpu;
        autoBytes += chosen.bytes;
        table.add({photo.filename().string(), std::to_string(reference.width) + "x" + std::to_string(reference.height),
                   std::to_string(chosen.bytes), bench::fixed(chosen.result.quality.value_or(0), 2),
                   bench::fixed(chosen.result.distance.value_or(0), 3), bench::fixed(checked, 3),
                   bench::fixed(chosen.cpu, 2), bench::fixed(fixed.cpu, 2), std::to_string(lowest)});
        // Each row as it comes, so a long run that is stopped still shows what it measured.
        std::cerr << photo.filename().string() << ": " << chosen.bytes << " bytes, quality "
                  << bench::fixed(chosen.result.quality.value_or(0), 2) << ", search "
                  << bench::fixed(chosen.result.distance.value_or(0), 3) << ", butteraugli_main "
                  << bench::fixed(checked, 3) << ", CPU " << bench::fixed(chosen.cpu, 2) << " s against "
                  << bench::fixed(fixed.cpu, 2) << " s, lowest fixed " << lowest << "\n";
    }
    table.print(std::cout);

    // The whole set at the one fixed quality that meets the target everywhere.
    std::int64_t worstBytes = 0;
    for (const fs::path& photo : photos)
        worstBytes += convertTimed(photo, work / ("worst." + ext), ConvertSettings{*format, worstQuality / 100.0, std::nullopt, false}).bytes;
    std::cout << "\nformat " << ext << ", target " << target << ", " << photos.size() << " photos\n"
              << "within target (butteraugli_main): " << within << " of " << photos.size() << "\n"
              << "one fixed quality meeting it on every photo: " << worstQuality << " %, " << worstBytes << " bytes\n"
              << "auto bytes: " << autoBytes << " = " << bench::fixed(double(autoBytes) / double(worstBytes), 3)
              << " x that\n"
              << "CPU: auto " << bench::fixed(autoCpu, 1) << " s, fixed 0.8 " << bench::fixed(fixedCpu, 1)
              << " s = " << bench::fixed(autoCpu / fixedCpu, 2) << " x\n";
    fs::remove_all(work);
    return 0;
}
