// Writes krumple-cli's completion script for one shell into a file; the
// build runs it for bash, zsh and fish.

#include <cstdio>
#include <fstream>

#include "completion.h"

int main(int argc, char** argv) {
    const auto script = argc == 3 ? krumple::cli::completionScript(argv[1]) : std::nullopt;
    if (!script) {
        std::fputs("usage: krumple-completion bash|zsh|fish FILE\n", stderr);
        return 2;
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << *script;
    file.close();
    if (!file) std::perror(argv[2]);
    return file ? 0 : 1;
}
