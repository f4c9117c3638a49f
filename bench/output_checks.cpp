#include "output_checks.h"

#include <sys/resource.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include <vips/vips8>

namespace krumple::bench {

namespace fs = std::filesystem;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TimedConversion convertTimed(const fs::path& src, const fs::path& dst, const ConvertSettings& settings) {
    const double start = cpuSeconds();
    const auto result = Converter::convert(src, dst, settings);
    if (!result) throw std::runtime_error("conversion failed: " + src.string());
    return {*result, cpuSeconds() - start};
}

TimedConversion convertWritten(const fs::path& src, const fs::path& dst, const ConvertSettings& settings) {
    TimedConversion converted = convertTimed(src, dst, settings);
    if (!converted.result.written) throw std::runtime_error("nothing written: " + src.string());
    return converted;
}

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

double outputToolDistance(const fs::path& reference, const fs::path& output) {
    const fs::path png = output.parent_path() / (output.stem().string() + ".decoded.png");
    vips::VImage::new_from_file(output.c_str()).write_to_file(png.c_str());
    const double distance = toolDistance(reference, png);
    fs::remove(png);
    return distance;
}

}  // namespace krumple::bench
