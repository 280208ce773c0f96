// The sheets of one LiDAR layer that did not come whole, for the user to read: every sheet skipped (not
// downloaded, unreadable) or read in part, with its counts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lidar/SheetRead.h"

namespace lidar {

class SheetLosses {
public:
    // A sheet that gave nothing: its name (emblem or file name) and why.
    void skipped(const std::string& sheet, const std::string& reason);
    // A sheet the download brought no file of; `error` is the web client's text, may be empty.
    void notDownloaded(const std::string& sheet, const std::string& error);
    // Records a sheet read: unusable is skipped, ended early is read in part. True when the sheet came whole.
    bool record(const std::string& sheet, const SheetRead& read);

    bool empty() const { return skipped_.empty() && partial_.empty(); }
    std::size_t skippedCount() const { return skipped_.size(); }
    std::size_t partialCount() const { return partial_.size(); }

    // Of `sheets` sheets: "pominieto 1 z 4 kafli LiDAR (A: powod)" and/or "odczytano czesciowo 1 z 4 kafli LiDAR
    // (B: 156656 z 179497 pkt - powod)", joined by ", "; empty when nothing was lost.
    std::string describe(std::size_t sheets) const;

private:
    std::vector<std::string> skipped_;  // "name: reason"
    std::vector<std::string> partial_;  // "name: read z announced pkt - reason"
};

}  // namespace lidar
