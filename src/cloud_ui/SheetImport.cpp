#include "cloud_ui/SheetImport.h"

#include "lidar/SheetPoints.h"

namespace cloudui {

lidar::SheetRead importSheet(const std::filesystem::path& path, int sheetEpsg, CloudAccumulator& accumulator,
                             const platform::ProgressCallback& progress, unsigned threads) {
    lidar::SheetReadOptions options;
    options.threads = threads;
    options.progress = progress;
    return lidar::readSheetPoints(
        path, sheetEpsg, accumulator.frame(),
        [&accumulator](const formats::CloudPoint& p) { accumulator.add(p.x, p.y, p.z, p.red, p.green, p.blue); },
        options);
}

}  // namespace cloudui
