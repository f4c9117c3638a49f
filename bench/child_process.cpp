#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

extern char** environ;

namespace krumple::bench {

namespace {

using Clock = std::chrono::steady_clock;

double ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; }

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto name = entry.substr(0, entry.find('='));
        if (!extra.contains(name)) out.push_back(entry);
    }
    for (const auto& [name, value] : extra) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Starts one child with output to `logFd`; returns its pid or -1.
pid_t start(std::vector<std::string> argv, std::vector<std::string>& env, int logFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    auto args = pointers(argv);
    auto envp = pointers(env);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

ChildRun runChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                  const std::filesystem::path& log) {
    ChildRun run;
    const auto resultPath = std::filesystem::path(log.string() + ".result");
    const int resultFd = ::open(resultPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (resultFd < 0) return run;
    // Through the small launcher, so the peak memory is the command's own.
    std::vector<std::string> launch{(selfPath().parent_path() / "krumple-bench-launch").string(), log.string()};
    launch.insert(launch.end(), argv.begin(), argv.end());
    auto merged = mergedEnvironment(env);
    const pid_t pid = start(launch, merged, resultFd);
    ::close(resultFd);
    if (pid < 0) return run;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || exitCodeOf(status) != 0) return run;
    std::ifstream result(resultPath);
    long peakKB = 0;
    if (!(result >> run.exitCode >> run.wallMs >> run.cpuMs >> peakKB)) run.exitCode = -1;
    run.peakMB = static_cast<double>(peakKB) / 1024.0;
    return run;
}

BatchRun runBatch(const std::vector<std::vector<std::string>>& argvs, std::size_t parallel,
                  const std::map<std::string, std::string>& env, const std::filesystem::path& log) {
    BatchRun batch;
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) return batch;
    auto merged = mergedEnvironment(env);
    batch.ok = true;
    const auto t0 = Clock::now();
    std::size_t next = 0;
    std::size_t running = 0;
    while (next < argvs.size() || running > 0) {
        while (running < parallel && next < argvs.size()) {
            if (start(argvs[next++], merged, logFd) < 0)
                batch.ok = false;
            else
                ++running;
        }
        if (running == 0) break;
        int status = 0;
        rusage usage{};
        if (::wait4(-1, &status, 0, &usage) < 0) {
            batch.ok = false;
            break;
        }
        --running;
        if (exitCodeOf(status) != 0) batch.ok = false;
        batch.cpuMs += ms(usage.ru_utime) + ms(usage.ru_stime);
        batch.peakMB = std::max(batch.peakMB, static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    batch.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ::close(logFd);
    return batch;
}

std::filesystem::path selfPath() { return std::filesystem::read_symlink("/proc/self/exe"); }

}  // namespace krumple::bench
