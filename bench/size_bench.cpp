// A file size cap ("At most N bytes") against one fixed quality, over real photos:
//   krumple-bench-size FORMAT CAP PHOTO...        (CAP in bytes; k and M: 1000 and 1000000)
// For each photo: the conversion at most CAP (bytes, chosen quality, its file
// checked on disk against CAP), its bytes at the fixed 0.8 and at the lowest
// 5 % (does the cap bind; can the photo fit at all). Then the highest whole
// percent at which every photo that can fit does, by a binary search over
// fixed conversions; and both outputs' 3-norm from butteraugli_main at full
// size. Exits 1 when any output breaks its cap.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "converter.h"
#include "image_library.h"
#include "output_checks.h"
#include "rgb_image.h"
#include "text_table.h"

namespace fs = std::filesystem;
using namespace krumple;
using namespace krumple::bench;

namespace {

constexpr int lowestPercent = 5;  // the lowest quality the engine offers and searches
constexpr int highestPercent = 99;

std::optional<std::int64_t> parseBytes(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const std::string unit(end);
    const double scale = unit.empty() ? 1 : unit == "k" ? 1e3 : unit == "M" ? 1e6 : 0;
    if (!(value > 0) || scale == 0) return std::nullopt;
    return std::llround(value * scale);
}

ConvertSettings fixedAt(OutputFormat format, int percent) { return {format, percent / 100.0, std::nullopt, false}; }

struct Photo {
    fs::path path;
    std::string pixels;
    fs::path reference;  // upright sRGB PPM, as the Auto bench hands butteraugli_main
    std::int64_t atDefault = 0;  // bytes at the fixed 0.8
    std::int64_t atLowest = 0;   // bytes at the fixed 5 %
    TimedConversion capped;
    std::int64_t onDisk = -1;  // the capped output's bytes on disk; -1: no file
    std::string check;         // "ok", "can't fit" or what went wrong
    double cappedDistance = -1;
    std::int64_t fixedBytes = 0;
    double fixedDistance = -1;
    double fixedCpu = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: krumple-bench-size FORMAT CAP PHOTO...\n";
        return 2;
    }
    ensureImageLibrary();
    const auto format = OutputFormat::fromRawValue(argv[1]);
    const auto cap = parseBytes(argv[2]);
    if (!format || !cap || format->isLossless()) return 2;
    const fs::path work = fs::temp_directory_path() / ("krumple-bench-size-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string ext(format->fileExtension());
    const fs::path probe = work / ("probe." + ext);

    std::vector<Photo> photos;
    for (int i = 3; i < argc; ++i) photos.emplace_back().path = argv[i];
    // Bytes of fixed conversions, by photo and percent: the search asks some twice.
    std::map<std::pair<std::size_t, int>, std::int64_t> fixedBytes;
    const auto bytesAt = [&](std::size_t i, int percent) {
        const auto key = std::pair(i, percent);
        if (!fixedBytes.contains(key))
            fixedBytes[key] = convertWritten(photos[i].path, probe, fixedAt(*format, percent)).result.size;
        return fixedBytes[key];
    };

    int violations = 0;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        Photo& photo = photos[i];
        const Rgb reference = decodePhoto(photo.path, 0);
        photo.pixels = std::to_string(reference.width) + "x" + std::to_string(reference.height);
        photo.reference = work / ("reference-" + std::to_string(i) + ".ppm");
        writePpm(reference, photo.reference);

        const fs::path out = work / ("capped-" + std::to_string(i) + "." + ext);
        ConvertSettings capped = fixedAt(*format, 80);
        capped.maxBytes = *cap;
        photo.capped = convertTimed(photo.path, out, capped);
        photo.onDisk = fs::exists(out) ? static_cast<std::int64_t>(fs::file_size(out)) : -1;
        photo.atDefault = bytesAt(i, 80);
        photo.atLowest = bytesAt(i, lowestPercent);
        const bool fits = photo.atLowest <= *cap;

        // Written: its file is there, within the cap, of the size reported.
        // Not written: nothing on disk, and even the lowest quality is over.
        const auto& result = photo.capped.result;
        if (result.written) {
            photo.check = photo.onDisk < 0           ? "NO FILE"
                          : photo.onDisk > *cap      ? "OVER CAP"
                          : photo.onDisk != result.size ? "SIZE DIFFERS"
                                                        : "ok";
        } else {
            photo.check = photo.onDisk >= 0 ? "FILE LEFT" : fits ? "REFUSED, 5 % FITS" : !result.overCap ? "NOT OVER CAP?" : "can't fit";
        }
        if (photo.check != "ok" && photo.check != "can't fit") ++violations;
        if (photo.onDisk >= 0) photo.cappedDistance = outputToolDistance(photo.reference, out);

        // Each row as it comes, so a long run that is stopped still shows what it measured.
        std::cerr << photo.path.filename().string() << ": " << photo.check << ", ";
        if (photo.onDisk >= 0)
            std::cerr << photo.onDisk << " bytes on disk (cap " << *cap << "), quality "
                      << bench::fixed(result.quality.value_or(0), 2) << ", butteraugli_main "
                      << bench::fixed(photo.cappedDistance, 3);
        else
            std::cerr << "nothing on disk, smallest " << result.size << " bytes (cap " << *cap << ")";
        std::cerr << "; fixed 0.8 " << photo.atDefault << " bytes, 5 % " << photo.atLowest << " bytes\n";
    }

    // The one fixed quality that fits every photo able to fit at all: the
    // highest whole percent at which all of them do. The photo that broke the
    // cap last is tried first, so most steps stop early.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (photos[i].atLowest <= *cap) order.push_back(i);
    const auto fitsAll = [&](int percent) {
        for (auto it = order.begin(); it != order.end(); ++it) {
            if (bytesAt(*it, percent) > *cap) {
                std::rotate(order.begin(), it, it + 1);
                return false;
            }
        }
        return true;
    };
    int lo = lowestPercent, hi = order.empty() ? lowestPercent : highestPercent;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fitsAll(mid)) lo = mid;
        else hi = mid - 1;
    }
    const int shared = lo;
    std::cerr << "one fixed quality fitting every photo that can fit: " << shared << " %\n";

    // Both outputs of every photo that can fit, at full size.
    std::sort(order.begin(), order.end());
    std::vector<std::string> notes;
    for (const std::size_t i : order) {
        Photo& photo = photos[i];
        const fs::path out = work / ("fixed-" + std::to_string(i) + "." + ext);
        const TimedConversion fixed = convertWritten(photo.path, out, fixedAt(*format, shared));
        photo.fixedBytes = fixed.result.size;
        photo.fixedCpu = fixed.cpu;
        photo.fixedDistance = outputToolDistance(photo.reference, out);
        if (photo.fixedDistance < 0 || (photo.onDisk >= 0 && photo.cappedDistance < 0))
            notes.push_back(photo.path.filename().string() + ": butteraugli_main printed no distance");
        const int chosen = static_cast<int>(std::lround(photo.capped.result.quality.value_or(0) * 100));
        // Size grows with quality for the search to be right; say where it didn't.
        if (photo.capped.result.written && chosen < shared)
            notes.push_back(photo.path.filename().string() + ": the search chose " + std::to_string(chosen) +
                            " %, below the " + std::to_string(shared) + " % that fits");
        if (photo.fixedBytes != bytesAt(i, shared))
            notes.push_back(photo.path.filename().string() + ": " + std::to_string(shared) + " % gave " +
                            std::to_string(photo.fixedBytes) + " then " + std::to_string(bytesAt(i, shared)) + " bytes");
        if (chosen == shared && photo.capped.result.written && photo.fixedBytes != photo.onDisk)
            notes.push_back(photo.path.filename().string() + ": the same quality capped and fixed gave " +
                            std::to_string(photo.onDisk) + " and " + std::to_string(photo.fixedBytes) + " bytes");
        std::cerr << photo.path.filename().string() << ": fixed " << shared << " % " << photo.fixedBytes
                  << " bytes, butteraugli_main " << bench::fixed(photo.fixedDistance, 3) << "\n";
    }

    TextTable table({"photo", "pixels", "cap", "fixed 0.8 bytes", "fixed 5 % bytes", "capped bytes", "check",
                     "capped quality", "capped distance", "fixed " + std::to_string(shared) + " % bytes",
                     "fixed distance"});
    int within = 0, bindsAtDefault = 0, fitAtLowest = 0, closer = 0, farther = 0;
    std::int64_t cappedTotal = 0, fixedTotal = 0;
    double cappedSum = 0, fixedSum = 0, cappedCpu = 0, fixedCpu = 0;
    const Photo* cappedWorst = nullptr;
    const Photo* fixedWorst = nullptr;
    for (const Photo& photo : photos) {
        const bool compared = photo.fixedDistance >= 0;
        const bool fitted = photo.capped.result.written && photo.onDisk >= 0 && photo.onDisk <= *cap;
        within += fitted ? 1 : 0;
        bindsAtDefault += photo.atDefault > *cap ? 1 : 0;
        fitAtLowest += photo.atLowest <= *cap ? 1 : 0;
        table.add({photo.path.filename().string(), photo.pixels, std::to_string(*cap), std::to_string(photo.atDefault),
                   std::to_string(photo.atLowest), photo.onDisk >= 0 ? std::to_string(photo.onDisk) : "–", photo.check,
                   photo.capped.result.written ? bench::fixed(photo.capped.result.quality.value_or(0), 2) : "–",
                   photo.cappedDistance >= 0 ? bench::fixed(photo.cappedDistance, 3) : "–",
                   compared ? std::to_string(photo.fixedBytes) : "–",
                   compared ? bench::fixed(photo.fixedDistance, 3) : "–"});
        if (!compared || photo.cappedDistance < 0) continue;
        cappedTotal += photo.onDisk;
        fixedTotal += photo.fixedBytes;
        cappedSum += photo.cappedDistance;
        fixedSum += photo.fixedDistance;
        cappedCpu += photo.capped.cpu;
        fixedCpu += photo.fixedCpu;
        closer += photo.cappedDistance < photo.fixedDistance ? 1 : 0;
        farther += photo.cappedDistance > photo.fixedDistance ? 1 : 0;
        if (!cappedWorst || photo.cappedDistance > cappedWorst->cappedDistance) cappedWorst = &photo;
        if (!fixedWorst || photo.fixedDistance > fixedWorst->fixedDistance) fixedWorst = &photo;
    }
    table.print(std::cout);

    const auto count = photos.size();
    const auto compared = static_cast<double>(order.size());
    std::cout << "\nformat " << ext << ", cap " << *cap << " bytes, " << count << " photos\n"
              << "outputs written within the cap: " << within << " of " << count << "; can't fit even at "
              << lowestPercent << " % (rightly not written): " << count - order.size() << "; violations: " << violations
              << "\n"
              << "the cap binds: " << bindsAtDefault << " of " << count << " over it at 0.8; " << fitAtLowest << " of "
              << count << " fit at " << lowestPercent << " %\n"
              << "one fixed quality fitting every photo that can fit (" << order.size() << "): "
              << (order.empty() ? "none" : std::to_string(shared) + " %") << "\n";
    if (cappedWorst && fixedWorst)
        std::cout << "distance (butteraugli_main 3-norm), capped: mean " << bench::fixed(cappedSum / compared, 3)
                  << ", worst " << bench::fixed(cappedWorst->cappedDistance, 3) << " ("
                  << cappedWorst->path.filename().string() << "); fixed " << shared << " %: mean "
                  << bench::fixed(fixedSum / compared, 3) << ", worst " << bench::fixed(fixedWorst->fixedDistance, 3)
                  << " (" << fixedWorst->path.filename().string() << ")\n"
                  << "capped closer on " << closer << ", farther on " << farther << ", equal on "
                  << order.size() - static_cast<std::size_t>(closer + farther) << "\n"
                  << "bytes: capped " << cappedTotal << ", fixed " << fixedTotal << " = "
                  << bench::fixed(double(cappedTotal) / double(fixedTotal), 3) << " x\n"
                  << "CPU: capped " << bench::fixed(cappedCpu, 1) << " s, fixed " << bench::fixed(fixedCpu, 1)
                  << " s = " << bench::fixed(cappedCpu / fixedCpu, 2) << " x\n";
    for (const auto& note : notes) std::cout << "odd: " << note << "\n";
    fs::remove_all(work);
    return violations == 0 ? 0 : 1;
}
