#include "RequestLog.h"

#include "SimHttp.h"

namespace sim {

std::string LoggedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (equalsNoCase(key, name)) return value;
    return {};
}

bool LoggedRequest::hasHeader(const std::string& name) const {
    for (const auto& item : headers)
        if (equalsNoCase(item.first, name)) return true;
    return false;
}

std::size_t RequestLog::add(LoggedRequest entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

void RequestLog::setStatus(std::size_t index, int status) {
    std::lock_guard lock(mutex_);
    if (index < entries_.size()) entries_[index].status = status;
}

std::vector<LoggedRequest> RequestLog::all() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<LoggedRequest> RequestLog::matching(const std::string& host, const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::vector<LoggedRequest> out;
    for (const auto& e : entries_)
        if (e.host == host && (path.empty() || e.path == path)) out.push_back(e);
    return out;
}

std::size_t RequestLog::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void RequestLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

nlohmann::json RequestLog::toJson() const {
    std::lock_guard lock(mutex_);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& e : entries_) {
        nlohmann::json headers = nlohmann::json::array();
        for (const auto& [key, value] : e.headers) headers.push_back({key, value});
        list.push_back({{"startMs", e.startMs},
                        {"method", e.method},
                        {"scheme", e.scheme},
                        {"host", e.host},
                        {"path", e.path},
                        {"query", e.query},
                        {"headers", headers},
                        {"bodySize", e.body.size()},
                        {"status", e.status}});
    }
    return list;
}

}  // namespace sim
