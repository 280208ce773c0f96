// Feeds one LiDAR sheet into a cloud accumulator, converting PL-2000 sheets to PL-1992 on the way.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "cloud_ui/CloudAccumulator.h"
#include "platform/Progress.h"

namespace cloudui {

// What became of one sheet.
struct SheetImport {
    bool usable = false;               // opened, records of at least 20 bytes, at least one point
    bool complete = false;             // every point was read; false when a damaged record ended the sheet early
    bool cancelled = false;            // the progress function asked to stop
    std::string error;                 // why it was unusable or ended early
    std::uint64_t pointsInHeader = 0;  // the count the sheet announces
    std::uint64_t pointsRead = 0;
    std::uint64_t pointsKept = 0;
};

// Reads every point of the sheet in file order into the accumulator, reporting now and then the points
// read so far and the sheet's point count (false stops the sheet). sheetEpsg 2176..2179 marks a PL-2000
// sheet: points outside the frame's zone rectangle (widened by 2 m) are skipped unconverted, the rest are
// converted to PL-1992. Any other code is read as PL-1992. HardLimitExceeded passes through.
// `threads` above 1 decode a LAZ sheet's chunks on that many threads ahead of the reading.
SheetImport importSheet(const std::filesystem::path& path, int sheetEpsg, CloudAccumulator& accumulator,
                        const platform::ProgressCallback& progress = {}, unsigned threads = 1);

}  // namespace cloudui
