#include <cstdio>
#include <string>
#include <vector>

#include "batch_session.h"
#include "cli_options.h"
#include "image_library.h"
#include "report_text.h"
#include "signal_watch.h"

int main(int argc, char** argv) {
    using namespace krumple;
    // Before any thread exists, so that every thread inherits the mask.
    cli::blockStopSignals();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = cli::parseArguments(args, OutputFormat::available());
    if (!parsed) {
        std::fprintf(stderr, "krumple-cli: %s\nTry 'krumple-cli --help'.\n", parsed.error().c_str());
        return 2;
    }
    const cli::CliOptions& options = *parsed;
    // Text in plain ASCII where the locale can't show more; JSON stays UTF-8.
    const bool ascii = !cli::localeIsUtf8();
    if (options.help) {
        std::fputs(cli::usageText(OutputFormat::available(), ascii).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("krumple-cli %s\n", KRUMPLE_VERSION);
        return 0;
    }
    if (options.listFormats) {
        for (const auto format : OutputFormat::available())
            std::printf("%-5s %-8s .%s\n", std::string(format.rawValue()).c_str(), std::string(format.label()).c_str(),
                        std::string(format.fileExtension()).c_str());
        return 0;
    }
    const int status = cli::runBatchSession(options, ascii);
    releaseImageLibraryThread();
    return status;
}
