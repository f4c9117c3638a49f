#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace krumple::test {

// A program run in a given working folder, its standard output on a pipe.
class ChildProcess {
public:
    // `environment` ("NAME=value") is added to this process's own, replacing same-named entries.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workingFolder,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output, without its newline; empty at the end.
    std::string readLine();
    void signal(int number);
    // Standard error so far, without waiting for the end.
    std::string errSoFar() const;
    // Reads the rest of both streams and returns the exit status (-1 unless it exited).
    int wait();

    std::string out;  // all standard output read so far
    std::string err;  // filled by wait()

private:
    bool readMore();
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::size_t lineStart_ = 0;
    int status_ = -1;
    bool waited_ = false;  // a killed child has no exit status but must not be waited for twice
};

// An environment that preloads the hold shim (hold_shim.cpp), plus `settings`.
std::vector<std::string> withHoldShim(std::vector<std::string> settings);

struct RunResult { int status; std::string out; std::string err; };

RunResult runCli(const std::vector<std::string>& args, const std::string& workingFolder);

}  // namespace krumple::test
