#include "palette/detail/PageMemory.h"

#include <nlohmann/json.hpp>

namespace palette::detail {

void PageMemory::fromPage(const std::string& type) {
    // A new fetch or download clears the page's result; the add-on's answer brings the new one.
    if (type == "fetch" || type == "download") results_.clear();
}

void PageMemory::toPage(const std::string& text) {
    // Only the types that make up the state are kept; the rest pass without a parse of a large preview.
    static const char* const kKept[] = {"\"type\":\"fetchDone\"", "\"type\":\"placeDone\"", "\"type\":\"downloadDone\"",
                                        "\"type\":\"progress\"", "\"type\":\"cancelled\""};
    bool candidate = false;
    for (const char* marker : kKept) candidate = candidate || text.find(marker) != std::string::npos;
    if (!candidate) return;
    const nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (!message.is_object() || !message.contains("type") || !message["type"].is_string()) return;
    const std::string type = message["type"].get<std::string>();
    if (type == "progress") {
        progress_ = text;
        return;
    }
    if (type == "fetchDone" || type == "downloadDone") {
        results_.assign(1, text);
    } else if (type == "placeDone") {
        // Placing again replaces the earlier placement's answer.
        if (results_.size() > 1) results_.resize(1);
        results_.push_back(text);
    }
    progress_.clear();
}

std::vector<std::string> PageMemory::replay() const {
    std::vector<std::string> out = results_;
    if (!progress_.empty()) out.push_back(progress_);
    return out;
}

}  // namespace palette::detail
