#include "SimProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sim {

namespace {
// One line from the pipe, giving up after `timeoutMs` without data.
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    char c = 0;
    while (line.size() < 512) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) break;
        if (read(fd, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}
}  // namespace

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const std::string& program, const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return false;
    }
    if (pid_ == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
    const std::string line = readLine(output_, 10000);
    const std::string prefix = "listening on ";
    if (line.rfind(prefix + "http://127.0.0.1:", 0) != 0) {
        stop();
        return false;
    }
    baseUrl_ = line.substr(prefix.size());
    return true;
}

int SimProcess::stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (output_ >= 0) close(output_);
    output_ = -1;
    return status;
}

}  // namespace sim
