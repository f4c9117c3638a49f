// krumple-bench-launch LOG COMMAND [ARG...]
//
// Runs COMMAND with its output going to LOG and prints
// "<exit code> <wall ms> <cpu ms> <peak KB>" for it. It exists to be small:
// Linux carries a process's peak resident size over from the process it was
// forked from and across exec, so a child started straight from the bench
// driver (which decodes whole photos for its checks) would report the
// driver's peak instead of its own.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: krumple-bench-launch LOG COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        const int log = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
            ::close(log);
        }
        ::execvp(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return 1;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    std::printf("%d %.3f %.3f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, wall,
                ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss);
    return 0;
}
