#include "hardening/Isolated.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <fstream>
#include <thread>

namespace testing_support {
namespace {

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

std::string Isolated(const std::function<std::string()>& work, const Limits& limits) {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    const long before = ResidentKb();
    const pid_t pid = fork();
    if (pid < 0) return "no fork";
    if (pid == 0) {
        close(fds[0]);
        std::string result;
        try {
            result = work();
        } catch (const std::exception& e) {
            result = std::string("exception: ") + e.what();
        }
        // Only the first part of a long report fits the pipe unread.
        if (result.size() > 2000) result.resize(2000);
        (void)!write(fds[1], result.data(), result.size());
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
    bool hung = false;
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    if (hung) return "hung";
    if (WIFSIGNALED(status)) return "crashed with signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0) return "exited with " + std::to_string(WEXITSTATUS(status));
    const long extraKb = usage.ru_maxrss - before;
    if (extraKb > limits.extraMegabytes * 1024) return "used " + std::to_string(extraKb / 1024) + " MB";
    return text;
}

}  // namespace testing_support
