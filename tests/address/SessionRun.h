// One run of the headless palette process (`geodraft session`) with its requests routed to a simulator and its
// user folders in a test folder: the page messages go in a line each ("#wait" waits for the workers), and the
// page's messages and the report text come back.
#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

struct SessionRun {
    int exitCode = -1;
    std::vector<nlohmann::json> messages;  // every line the page received
    std::string err;                       // report lines and diagnostics
};

inline SessionRun runSession(const std::string& servicesUrl, const std::filesystem::path& folder,
                             const std::string& input) {
    testsupport::writeFile(folder / "input.txt", input);
    const auto at = [&folder](const char* name) { return "'" + (folder / name).string() + "'"; };
    const std::string command = "env GEODRAFT_SERVICES='" + servicesUrl +
                                "' GEODRAFT_PACING_MS=0 XDG_CONFIG_HOME=" + at("config") +
                                " XDG_STATE_HOME=" + at("state") + " XDG_CACHE_HOME=" + at("cache") + " '" +
                                (testsupport::binaryDir() / "app/geodraft").string() + "' session < " +
                                at("input.txt") + " > " + at("out.txt") + " 2> " + at("err.txt");
    const int status = std::system(command.c_str());
    SessionRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(testsupport::readFile(folder / "out.txt"));
    for (std::string line; std::getline(lines, line);) run.messages.push_back(nlohmann::json::parse(line));
    run.err = testsupport::readFile(folder / "err.txt");
    return run;
}
