// The elevation scenario of the simulator and a web client with a private cache, for one test; runs of
// `geodraft session` and `geodraft model` with private settings, state and cache.
#pragma once
#include <sys/wait.h>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ElevationScenario.h"
#include "SimHttp.h"
#include "support/SimulatorFixture.h"

// What one session wrote to the page, its exit code and its error output.
struct SessionRun {
    int exitCode = -1;
    std::vector<nlohmann::json> messages;
    std::string err;

    nlohmann::json last(const std::string& type) const {
        nlohmann::json found;
        for (const nlohmann::json& m : messages)
            if (m.value("type", "") == type) found = m;
        return found;
    }
    bool hasLabel(const std::string& label) const {
        for (const nlohmann::json& m : messages)
            if (m.value("type", "") == "progress" && m.value("label", "") == label) return true;
        return false;
    }
};

// `input` is the session's standard input, one line each; everything the run writes stays under `dir`.
inline SessionRun runSession(const std::filesystem::path& dir, const std::vector<std::string>& input,
                             const std::string& arguments, int pacingMs) {
    std::string text;
    for (const auto& line : input) text += line + "\n";
    testsupport::writeFile(dir / "input.txt", text);
    const std::string command = "env XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_STATE_HOME='" +
                                (dir / "state").string() + "' XDG_CACHE_HOME='" + (dir / "cache").string() +
                                "' GEODRAFT_PACING_MS=" + std::to_string(pacingMs) + " '" +
                                (testsupport::binaryDir() / "app/geodraft").string() + "' session " + arguments +
                                " < '" + (dir / "input.txt").string() + "' > '" + (dir / "out.txt").string() +
                                "' 2> '" + (dir / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    SessionRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream out(testsupport::readFile(dir / "out.txt"));
    for (std::string line; std::getline(out, line);) r.messages.push_back(nlohmann::json::parse(line));
    r.err = testsupport::readFile(dir / "err.txt");
    return r;
}

// The listing `geodraft model` gives of a project file.
inline std::string modelListing(const std::filesystem::path& project, const std::filesystem::path& out) {
    const std::string command = "'" + (testsupport::binaryDir() / "app/geodraft").string() + "' model '" +
                                project.string() + "' > '" + out.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return testsupport::readFile(out);
}

class ElevationSim : public SimulatorFixture {
protected:
    ElevationSim()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 10000},
                           sim::buildElevationScenario) {}

    // Feature types asked of one index service, in the order asked.
    std::vector<std::string> typesAsked(const std::string& serviceUrl) {
        std::vector<std::string> types;
        const std::string host = serviceUrl.substr(serviceUrl.find("://") + 3);
        const std::string path = host.substr(host.find('/'));
        for (const sim::LoggedRequest& r : sim.log().matching(host.substr(0, host.find('/')), path)) {
            const auto at = r.query.find("typenames=");
            if (at == std::string::npos) continue;
            const auto end = r.query.find('&', at);
            types.push_back(
                sim::percentDecode(r.query.substr(at + 10, end == std::string::npos ? end : end - at - 10)));
        }
        return types;
    }
};
