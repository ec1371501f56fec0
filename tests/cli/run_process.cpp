#include "run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace clitest {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         std::optional<SignalPlan> signalPlan) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    auto start = std::chrono::steady_clock::now();
    bool signalled = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int ready = poll(fds, 2, 20);
        if (ready > 0) {
            for (auto& fd : fds) {
                if (fd.fd < 0 || (fd.revents & (POLLIN | POLLHUP)) == 0) continue;
                char buffer[4096];
                ssize_t got = read(fd.fd, buffer, sizeof buffer);
                if (got <= 0) {
                    close(fd.fd);
                    fd.fd = -1;
                    --open;
                    continue;
                }
                (fd.fd == outPipe[0] ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
            }
        }
        if (signalPlan && !signalled && std::chrono::steady_clock::now() - start >= signalPlan->after &&
            (signalPlan->whenStderrHas.empty() || result.err.find(signalPlan->whenStderrHas) != std::string::npos)) {
            kill(pid, signalPlan->signal);
            signalled = true;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace clitest
