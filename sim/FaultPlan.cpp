#include "FaultPlan.h"

namespace sim {

namespace {
bool pathMatches(const std::string& pattern, const std::string& path) {
    if (pattern.empty()) return true;
    if (pattern.back() == '*') return path.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return pattern == path;
}
}  // namespace

void FaultPlan::add(Fault fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(std::move(fault));
}

void FaultPlan::clear() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::optional<FaultAction> FaultPlan::take(const std::string& host, const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if ((!it->host.empty() && it->host != host) || !pathMatches(it->path, path)) continue;
        FaultAction action;
        action.truncateAfter = it->truncateAfter;
        action.delayMs = it->delayMs;
        action.exceptionDocument = it->exceptionDocument;
        action.emptyOk = it->emptyOk;
        action.trickleMs = it->trickleMs;
        action.cutBodyAt = it->cutBodyAt;
        action.htmlOk = it->htmlOk;
        action.damageAt = it->damageAt;
        if (!it->statuses.empty()) {
            const int status = it->statuses.front();
            it->statuses.erase(it->statuses.begin());
            action.status = status == 200 ? 0 : status;
            if (it->statuses.empty()) faults_.erase(it);
        } else if (it->times > 0) {
            if (--it->times == 0) faults_.erase(it);
        }
        return action;
    }
    return std::nullopt;
}

Fault FaultPlan::fromJson(const nlohmann::json& j) {
    Fault f;
    f.host = j.value("host", std::string());
    f.path = j.value("path", std::string());
    if (j.contains("statuses") && j["statuses"].is_array())
        for (const auto& s : j["statuses"])
            if (s.is_number_integer()) f.statuses.push_back(s.get<int>());
    f.truncateAfter = j.value("truncateAfter", -1LL);
    f.delayMs = j.value("delayMs", 0);
    f.exceptionDocument = j.value("exceptionDocument", false);
    f.emptyOk = j.value("emptyOk", false);
    f.times = j.value("times", -1);
    f.trickleMs = j.value("trickleMs", 0);
    f.cutBodyAt = j.value("cutBodyAt", -1LL);
    f.htmlOk = j.value("htmlOk", false);
    f.damageAt = j.value("damageAt", -1LL);
    return f;
}

}  // namespace sim
