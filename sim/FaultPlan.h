// Faults the simulator injects on request, per host and/or path.
#pragma once
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

// One fault rule. Empty host or path match any. A status of 200 in `statuses` means "answer normally".
struct Fault {
    std::string host;
    std::string path;                // exact path, or a prefix when it ends with "*"
    std::vector<int> statuses;       // consumed one per request; the rule ends when they are used up
    long long truncateAfter = -1;    // announce the full length but close the connection after this many bytes
    int delayMs = 0;                 // wait before answering
    bool exceptionDocument = false;  // answer an OGC exception document (status 200) in place of the data
    bool emptyOk = false;            // answer 200 with an empty body
    int times = -1;                  // how many requests the rule affects (-1: until removed; ignored with statuses)
    int trickleMs = 0;               // send the body in 1 KB pieces with this pause between them
    long long cutBodyAt = -1;        // answer only this many bytes of the body, announced as the whole of it
    bool htmlOk = false;             // answer 200 with an HTML page (a portal's error or login page)
    long long damageAt = -1;         // scramble 64 bytes of the body from here on (a damaged chunk of a sheet)
};

// What to do with one request.
struct FaultAction {
    int status = 0;  // 0: answer normally
    long long truncateAfter = -1;
    int delayMs = 0;
    bool exceptionDocument = false;
    bool emptyOk = false;
    int trickleMs = 0;
    long long cutBodyAt = -1;
    bool htmlOk = false;
    long long damageAt = -1;
};

class FaultPlan {
public:
    void add(Fault fault);
    void clear();
    // The action of the first rule that matches, consuming one use of it.
    std::optional<FaultAction> take(const std::string& host, const std::string& path);
    // Reads a rule from the control endpoint's JSON ({"host":..,"path":..,"statuses":[..],...}).
    static Fault fromJson(const nlohmann::json& j);

private:
    std::mutex mutex_;
    std::vector<Fault> faults_;
};

}  // namespace sim
