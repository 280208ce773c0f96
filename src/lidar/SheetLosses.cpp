#include "lidar/SheetLosses.h"

namespace lidar {

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : "; ") + item;
    return out;
}

}  // namespace

void SheetLosses::skipped(const std::string& sheet, const std::string& reason) {
    skipped_.push_back(sheet + ": " + reason);
}

void SheetLosses::notDownloaded(const std::string& sheet, const std::string& error) {
    skipped(sheet, error.empty() ? std::string("nie pobrano") : "nie pobrano - " + error);
}

bool SheetLosses::record(const std::string& sheet, const SheetRead& read) {
    if (!read.usable) {
        skipped(sheet, read.error.empty() ? std::string("nie mozna odczytac") : read.error);
        return false;
    }
    if (read.complete) return true;
    partial_.push_back(sheet + ": " + std::to_string(read.pointsRead) + " z " + std::to_string(read.pointsInHeader) +
                       " pkt" + (read.error.empty() ? std::string() : " - " + read.error));
    return false;
}

std::string SheetLosses::describe(std::size_t sheets) const {
    const std::string of = " z " + std::to_string(sheets) + " kafli LiDAR (";
    std::string out;
    if (!skipped_.empty()) out = "pominieto " + std::to_string(skipped_.size()) + of + joined(skipped_) + ")";
    if (!partial_.empty())
        out += (out.empty() ? "" : ", ") + std::string("odczytano czesciowo ") + std::to_string(partial_.size()) + of +
               joined(partial_) + ")";
    return out;
}

}  // namespace lidar
