// krumple-bench-heif: what encoding HEIC and AVIF through libheif directly
// would buy over today's libvips heifsave path (CPU, bytes, Butteraugli).
//
//   krumple-bench-heif sweep [--avif] [--max-width N] [--reps N] [--no-butteraugli] [--engine]
//                      [--q 40,44,... | --crf 28,28.25,... | --match-crf LOW,HIGH [--steps N] [--every-photo]]
//                      [--axis NAME=V1,V2,...]... [--set NAME=VALUE]... [--variant "NAME=V NAME=V"]... PHOTO...
//   krumple-bench-heif params heic|avif           the encoder's parameters
//   krumple-bench-heif check SOURCE.ppm FILE DECODED.ppm
//                                                  Butteraugli of FILE, decoded copy for butteraugli_main
//   krumple-bench-heif encode SOURCE.ppm OUT CODEC Q [NAME=VALUE]...
//                                                  one timed encode (the sweep's child)
//
// CODEC is heifsave-heic or heifsave-avif (libvips' heifsave as the engine
// used it before, the baseline), engine-heic or engine-avif (the engine's
// encoder), both with Q as our quality; or heic or avif (libheif directly, Q
// is libheif's). Tables go to stdout as Markdown, progress to stderr.

#include <sys/resource.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <vips/vips8>

#include "butteraugli_distance.h"
#include "heif_direct.h"
#include "heif_sweep.h"
#include "encoder.h"

namespace {

using namespace krumple::bench;

double cpuMsNow() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);  // every thread of the process, the encoders' own included
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, by);) out.push_back(item);
    return out;
}

std::pair<std::string, std::string> nameValue(const std::string& arg) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos) throw std::runtime_error("expected NAME=VALUE: " + arg);
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

HeifCodec codecNamed(const std::string& name) {
    if (name == "heic") return HeifCodec::hevc;
    if (name == "avif") return HeifCodec::av1;
    throw std::runtime_error("unknown codec " + name);
}

// libvips 8.14's heifsave as the engine called it before HEIC and AVIF went
// through libheif directly: Q, compression, and effort 3 for AVIF.
std::vector<std::uint8_t> heifsaveAsBefore(const vips::VImage& image, bool hevc, int q) {
    auto* options = vips::VImage::option()
                        ->set("Q", q)
                        ->set("compression", hevc ? VIPS_FOREIGN_HEIF_COMPRESSION_HEVC : VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    if (!hevc) options->set("effort", 3);
    VipsBlob* blob = image.copy().heifsave_buffer(options);
    auto* area = reinterpret_cast<VipsArea*>(blob);
    const auto* data = static_cast<const std::uint8_t*>(area->data);
    std::vector<std::uint8_t> file(data, data + area->length);
    vips_area_unref(area);
    return file;
}

int encodeMode(const std::vector<std::string>& args) {
    if (args.size() < 4) throw std::runtime_error("encode SOURCE.ppm OUT CODEC Q [NAME=VALUE]...");
    const Rgb source = readPpm(args[0]);
    const std::string& codec = args[2];
    std::vector<std::uint8_t> file;
    double cpuMs = 0;
    if (codec.starts_with("engine-") || codec.starts_with("heifsave-")) {
        const auto image = vips::VImage::new_from_memory(const_cast<std::uint8_t*>(source.pixels.data()),
                                                         source.pixels.size(), source.width, source.height, 3,
                                                         VIPS_FORMAT_UCHAR);
        const bool hevc = codec.ends_with("-heic");
        const auto format = hevc ? krumple::OutputFormat::heic : krumple::OutputFormat::avif;
        const krumple::EncodeOptions options = krumple::optionsFor(format, std::stod(args[3]));
        const double t0 = cpuMsNow();
        file = codec.starts_with("engine-") ? krumple::encodeToMemory(image, format, options)
                                            : heifsaveAsBefore(image, hevc, options.q);
        cpuMs = cpuMsNow() - t0;
    } else {
        EncoderParams params;
        for (std::size_t i = 4; i < args.size(); ++i) params.push_back(nameValue(args[i]));
        const double t0 = cpuMsNow();
        file = encodeDirect(source, codecNamed(codec), std::stoi(args[3]), params);
        cpuMs = cpuMsNow() - t0;
    }
    writeBytes(file, args[1]);
    std::cout << "RESULT " << cpuMs << ' ' << file.size() << std::endl;
    return 0;
}

int checkMode(const std::vector<std::string>& args) {
    if (args.size() != 3) throw std::runtime_error("check SOURCE.ppm FILE DECODED.ppm");
    const Rgb decoded = decodeHeif(readBytes(args[1]));
    writePpm(decoded, args[2]);
    std::cout << "3-norm (API, intensity target " << krumple::butteraugliIntensityTarget
              << "): " << butteraugli3Norm(readPpm(args[0]), decoded) << '\n';
    return 0;
}

int sweepMode(const std::vector<std::string>& args) {
    SweepOptions o;
    o.work = "/tmp/krumple-bench-heif";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto next = [&]() -> const std::string& {
            if (++i >= args.size()) throw std::runtime_error(a + " needs a value");
            return args[i];
        };
        if (a == "--avif") o.codec = HeifCodec::av1;
        else if (a == "--max-width") o.maxWidth = std::stoi(next());
        else if (a == "--reps") o.reps = std::stoi(next());
        else if (a == "--no-butteraugli") o.butteraugli = false;
        else if (a == "--engine") o.engine = true;
        else if (a == "--work") o.work = next();
        else if (a == "--q") for (const auto& q : split(next(), ',')) o.qs.push_back(std::stoi(q));
        else if (a == "--crf") for (const auto& c : split(next(), ',')) o.crfs.push_back(std::stod(c));
        else if (a == "--match-crf") {
            o.bisect = true;
            for (const auto& c : split(next(), ',')) o.crfs.push_back(std::stod(c));
        } else if (a == "--steps") o.steps = std::stoi(next());
        else if (a == "--every-photo") o.everyPhoto = true;
        else if (a == "--variant") {
            EncoderParams variant;
            for (const auto& nv : split(next(), ' '))
                if (!nv.empty()) variant.push_back(nameValue(nv));
            o.variants.push_back(variant);
        } else if (a == "--axis") {
            const auto [name, values] = nameValue(next());
            o.axes.emplace_back(name, split(values, ','));
        } else if (a == "--set") o.fixed.push_back(nameValue(next()));
        else o.photos.emplace_back(a);
    }
    if (o.photos.empty() || (o.qs.empty() && o.crfs.empty() && !o.engine))
        throw std::runtime_error("sweep needs --engine, --q, --crf or --match-crf, and photos");
    runSweep(o, std::cout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("VIPS_CONCURRENCY", "1", 1);  // as the engine runs: one libvips thread per conversion
    if (VIPS_INIT(argv[0])) return 1;
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.empty()) throw std::runtime_error("usage: krumple-bench-heif sweep|params|check|encode ...");
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "encode") return encodeMode(rest);
        if (args[0] == "check") return checkMode(rest);
        if (args[0] == "sweep") return sweepMode(rest);
        if (args[0] == "params" && rest.size() == 1) {
            printEncoderParameters(codecNamed(rest[0]), std::cout);
            return 0;
        }
        throw std::runtime_error("unknown mode " + args[0]);
    } catch (const std::exception& e) {
        std::cerr << "krumple-bench-heif: " << e.what() << '\n';
        return 1;
    }
}
