// geodraft-sim: serves the public services of a scenario on a loopback port, in the routed form.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "Scenarios.h"
#include "SimServer.h"
#include "platform/Numbers.h"

using sim::buildScenario;
using sim::Scenario;
using sim::scenarioTable;
using sim::SimServer;

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

void usage() {
    std::fprintf(stderr, "uzycie: geodraft-sim [--port N] [--scenario NAZWA]\nscenariusze:\n");
    for (const auto& entry : scenarioTable())
        std::fprintf(stderr, "  %s - %s\n", entry.name.c_str(), entry.description.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string scenarioName = "demo";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long long value = 0;
        if (arg == "--port" && i + 1 < argc && platform::parseInt(argv[i + 1], value) && value >= 0 && value <= 65535) {
            port = static_cast<int>(value);
            ++i;
        } else if (arg == "--scenario" && i + 1 < argc) {
            scenarioName = argv[++i];
        } else {
            usage();
            return 2;
        }
    }
    auto scenario = std::make_shared<Scenario>();
    if (!buildScenario(scenarioName, *scenario)) {
        std::fprintf(stderr, "nieznany scenariusz: %s\n", scenarioName.c_str());
        usage();
        return 2;
    }
    SimServer server(scenario);
    if (!server.start(port)) {
        std::fprintf(stderr, "nie mozna nasluchiwac na porcie %d\n", port);
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("listening on %s\n", server.baseUrl().c_str());
    std::fflush(stdout);
    while (!stopRequested) {
        struct timespec pauseTime = {0, 100 * 1000 * 1000};
        nanosleep(&pauseTime, nullptr);
    }
    server.stop();
    return 0;
}
