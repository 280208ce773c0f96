// The simulator's record of every request it received, for tests to inspect.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

struct LoggedRequest {
    std::int64_t startMs = 0;  // steady-clock milliseconds when the request arrived (same clock as the client's)
    std::string method;
    std::string scheme;
    std::string host;
    std::string path;
    std::string query;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int status = 0;  // status answered

    std::string header(const std::string& name) const;  // "" when absent (name without case)
    bool hasHeader(const std::string& name) const;
};

class RequestLog {
public:
    std::size_t add(LoggedRequest entry);  // returns the entry's index
    void setStatus(std::size_t index, int status);
    std::vector<LoggedRequest> all() const;
    // Requests to one host (and, when given, one path).
    std::vector<LoggedRequest> matching(const std::string& host, const std::string& path = {}) const;
    std::size_t size() const;
    void clear();
    nlohmann::json toJson() const;

private:
    mutable std::mutex mutex_;
    std::vector<LoggedRequest> entries_;
};

}  // namespace sim
