// Feeds one LiDAR sheet into a cloud accumulator.
#pragma once
#include <filesystem>

#include "cloud_ui/CloudAccumulator.h"
#include "lidar/SheetRead.h"
#include "platform/Progress.h"

namespace cloudui {

// Reads every point of the sheet in file order into the accumulator (lidar::readSheetPoints: a PL-2000 sheet,
// sheetEpsg 2176..2179, is converted to PL-1992), reporting now and then the points read so far and the sheet's
// point count (false stops the sheet). HardLimitExceeded passes through. `threads` above 1 decode a LAZ sheet's
// chunks on that many threads ahead of the reading.
lidar::SheetRead importSheet(const std::filesystem::path& path, int sheetEpsg, CloudAccumulator& accumulator,
                             const platform::ProgressCallback& progress = {}, unsigned threads = 1);

}  // namespace cloudui
