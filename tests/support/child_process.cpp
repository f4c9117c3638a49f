#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace krumple::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workingFolder, const std::vector<std::string>& environment) {
    // Made before forking: the child of a threaded process may only exec.
    std::vector<std::string> names;
    for (const auto& entry : environment) names.push_back(entry.substr(0, entry.find('=') + 1));
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return entry.starts_with(n); }))
            envp.push_back(*e);
    }
    for (const auto& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    // Standard error goes to a file in memory, so that however much a child
    // complains it never blocks while the test reads its standard output.
    errFd_ = ::memfd_create("stderr", MFD_CLOEXEC);
    if (errFd_ < 0) throw std::runtime_error("memfd_create");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errFd_, STDERR_FILENO);
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        if (::chdir(workingFolder.c_str()) != 0) ::_exit(127);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    outFd_ = outPipe[0];
}

ChildProcess::~ChildProcess() {
    if (!waited_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

bool ChildProcess::readMore() {
    char buffer[4096];
    const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
    if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
}

std::string ChildProcess::readLine() {
    std::size_t newline;
    while ((newline = out.find('\n', lineStart_)) == std::string::npos)
        if (!readMore()) return {};
    std::string line = out.substr(lineStart_, newline - lineStart_);
    lineStart_ = newline + 1;
    return line;
}

void ChildProcess::signal(int number) { ::kill(pid_, number); }

std::string ChildProcess::errSoFar() const {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::pread(errFd_, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

int ChildProcess::wait() {
    if (waited_) return status_;
    waited_ = true;
    while (readMore()) {}
    int status = 0;
    ::waitpid(pid_, &status, 0);
    err = errSoFar();
    ::close(outFd_);
    ::close(errFd_);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

std::vector<std::string> withHoldShim(std::vector<std::string> settings) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    settings.push_back(std::string("LD_PRELOAD=") + KRUMPLE_HOLD_SHIM_PATH);
    // The shim comes before the sanitizer's runtime.
    settings.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0");
    return settings;
}

RunResult runCli(const std::vector<std::string>& args, const std::string& workingFolder) {
    ChildProcess child(KRUMPLE_CLI_PATH, args, workingFolder);
    const int status = child.wait();
    return {status, child.out, child.err};
}

}  // namespace krumple::test
