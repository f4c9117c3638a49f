#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace krumple::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workingFolder) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        if (::chdir(workingFolder.c_str()) != 0) ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
    if (!waited_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

std::string ChildProcess::readLine() {
    for (;;) {
        const auto newline = out.find('\n', lineStart_);
        if (newline != std::string::npos) {
            std::string line = out.substr(lineStart_, newline - lineStart_);
            lineStart_ = newline + 1;
            return line;
        }
        char buffer[4096];
        const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
        if (n <= 0) return {};
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

void ChildProcess::signal(int number) { ::kill(pid_, number); }

int ChildProcess::wait() {
    if (waited_) return status_;
    waited_ = true;
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (auto& fd : fds) {
            if (fd.fd < 0 || !(fd.revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fd.fd);
                fd.fd = -1;
                --open;
            } else {
                (fd.fd == outFd_ ? out : err).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

RunResult runCli(const std::vector<std::string>& args, const std::string& workingFolder) {
    ChildProcess child(KRUMPLE_CLI_PATH, args, workingFolder);
    const int status = child.wait();
    return {status, child.out, child.err};
}

}  // namespace krumple::test
