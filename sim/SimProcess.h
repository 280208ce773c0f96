// geodraft-sim run as a separate process (for end-to-end tests and demos); stopped when the object goes.
#pragma once
#include <sys/types.h>
#include <string>
#include <vector>

namespace sim {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the program with the arguments and reads its first line; false when it did not announce an address.
    bool start(const std::string& program, const std::vector<std::string>& arguments = {});
    // Sends SIGTERM and waits; the exit status as waitpid reports it (-1 when not running).
    int stop();
    // "http://127.0.0.1:PORT" from the announced line.
    const std::string& baseUrl() const { return baseUrl_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string baseUrl_;
};

}  // namespace sim
