// The loopback HTTP server of the simulator: unwraps routed requests, logs them, injects faults, asks the scenario.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "FaultPlan.h"
#include "RequestLog.h"
#include "Scenario.h"

namespace httplib {
class Server;
}

namespace sim {

class SimServer {
public:
    explicit SimServer(std::shared_ptr<Scenario> scenario = std::make_shared<Scenario>());
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Listens on 127.0.0.1 (port 0: a free port). False when the port cannot be bound.
    bool start(int port = 0);
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:PORT": the value for the routing variable.
    std::string baseUrl() const;

    Scenario& scenario() { return *scenario_; }
    RequestLog& log() { return log_; }
    FaultPlan& faults() { return faults_; }

private:
    void installRoutes();
    // Waits up to `ms`, returning early when the server stops.
    void pause(int ms);

    std::shared_ptr<Scenario> scenario_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    RequestLog log_;
    FaultPlan faults_;
    int port_ = 0;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
};

}  // namespace sim
