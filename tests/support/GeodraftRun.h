// `geodraft ARGS` as a real process with the user's folders (config, state, cache) inside a test folder, so every
// answer comes from the simulator the test started and none from an earlier run.
#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

namespace testsupport {

// What one run printed: page messages (standard output lines that are JSON objects), the whole standard output,
// and standard error with its report lines ("report: ...").
struct GeodraftRun {
    int exitCode = -1;
    std::vector<nlohmann::json> messages;
    std::string out, err;

    // The last message of the type (null when there is none).
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

// Runs `geodraft ARGS` with the lines as standard input; pacingMs is the pause between requests to one host.
inline GeodraftRun runGeodraft(const std::filesystem::path& dir, const std::string& args,
                               const std::vector<std::string>& input, int pacingMs = 5) {
    std::string text;
    for (const std::string& line : input) text += line + "\n";
    std::filesystem::create_directories(dir);
    writeFile(dir / "input.txt", text);
    const auto in = [&](const char* name) { return "'" + (dir / name).string() + "'"; };
    const std::string command = "env XDG_CONFIG_HOME=" + in("config") + " XDG_STATE_HOME=" + in("state") +
                                " XDG_CACHE_HOME=" + in("cache") + " GEODRAFT_PACING_MS=" + std::to_string(pacingMs) +
                                " '" + (binaryDir() / "app/geodraft").string() + "' " + args + " < " + in("input.txt") +
                                " > " + in("out.txt") + " 2> " + in("err.txt");
    const int status = std::system(command.c_str());
    GeodraftRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir / "out.txt");
    r.err = readFile(dir / "err.txt");
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("{", 0) == 0) r.messages.push_back(nlohmann::json::parse(line));
    return r;
}

}  // namespace testsupport
