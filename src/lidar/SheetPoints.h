// The one way a LiDAR sheet is read for its points: terrain, roofs and the point-cloud palette all come here.
#pragma once
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"
#include "lidar/LasSheet.h"
#include "lidar/SheetGrid.h"
#include "lidar/SheetRead.h"
#include "platform/Progress.h"

namespace lidar {

struct SheetReadOptions {
    unsigned threads = 1;                 // above 1: a LAZ sheet's chunks are decoded on that many threads
    std::vector<std::uint8_t> classes;    // when not empty, only points of these LAS classes are handed on
    platform::ProgressCallback progress;  // now and then (points read, points in the header); false stops
};

inline constexpr std::uint64_t kSheetProgressEvery = 1 << 16;
inline constexpr std::uint8_t kGroundClass = 2, kWaterClass = 9;

// Hands every point of the sheet that lies inside the PL-1992 frame (edges included) to onPoint, in file order,
// in PL-1992 (see SheetGrid). A LAZ chunk that fails to decode gives none of its points: what came before the
// failure is garbage too. Exceptions of onPoint pass through.
template <class OnPoint>
SheetRead readSheetPoints(const std::filesystem::path& path, int sheetEpsg, const geodesy::Bbox& frame,
                          OnPoint&& onPoint, const SheetReadOptions& options = {}) {
    SheetRead result;
    LasSheet sheet;
    if (!sheet.open(path, options.threads)) {
        result.error = sheet.error();
        return result;
    }
    result.usable = true;
    result.pointsInHeader = sheet.pointsInHeader();
    const SheetGrid grid(frame, sheetEpsg);
    const auto wanted = [&options](std::uint8_t cls) {
        return options.classes.empty() ||
               std::find(options.classes.begin(), options.classes.end(), cls) != options.classes.end();
    };
    formats::CloudPoint p;
    while (sheet.next(p)) {
        ++result.pointsRead;
        if (p.classification == kGroundClass) ++result.groundRead;
        if (wanted(p.classification) && grid.toFrame(p)) {
            ++result.pointsInFrame;
            onPoint(p);
        }
        if (options.progress && result.pointsRead % kSheetProgressEvery == 0 &&
            !options.progress(static_cast<std::int64_t>(result.pointsRead),
                              static_cast<std::int64_t>(result.pointsInHeader))) {
            result.cancelled = true;
            return result;
        }
    }
    result.complete = !sheet.failed();
    if (sheet.failed()) result.error = sheet.error();
    if (options.progress)
        options.progress(static_cast<std::int64_t>(result.pointsRead),
                         static_cast<std::int64_t>(result.pointsInHeader));
    return result;
}

}  // namespace lidar
