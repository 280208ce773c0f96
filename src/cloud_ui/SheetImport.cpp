#include "cloud_ui/SheetImport.h"

#include <algorithm>

#include "cloud_ui/LasSheet.h"
#include "geodesy/Crs.h"

using formats::CloudPoint;

namespace cloudui {

namespace {

constexpr std::uint64_t kProgressEvery = 1 << 16;
constexpr double kPrefilterMargin = 2.0;  // metres; covers the curvature between mapped corners

bool isPl2000(int epsg) { return geodesy::isPl2000Epsg(epsg); }

// The frame's rectangle in the sheet's zone, a little wider than the mapped corners.
geodesy::Bbox zonePrefilter(const geodesy::Bbox& frame, int epsg) {
    const geodesy::Bbox box = geodesy::pl1992FrameToPl2000(frame, epsg);
    return {box.minE - kPrefilterMargin, box.minN - kPrefilterMargin, box.maxE + kPrefilterMargin,
            box.maxN + kPrefilterMargin};
}

}  // namespace

SheetImport importSheet(const std::filesystem::path& path, int sheetEpsg, CloudAccumulator& accumulator,
                        const platform::ProgressCallback& progress, unsigned threads) {
    SheetImport result;
    LasSheet sheet;
    if (!sheet.open(path, threads)) {
        result.error = sheet.error();
        return result;
    }
    result.usable = true;
    const std::uint64_t total = sheet.header().pointCount;
    result.pointsInHeader = total;
    const bool convert = isPl2000(sheetEpsg);
    const geodesy::Bbox prefilter = convert ? zonePrefilter(accumulator.frame(), sheetEpsg) : geodesy::Bbox{};

    CloudPoint p;
    while (sheet.next(p)) {
        ++result.pointsRead;
        double x = p.x, y = p.y;
        bool candidate = true;
        if (convert) {
            candidate = prefilter.contains({x, y});
            if (candidate) {
                const geodesy::PlanarPoint q = geodesy::pl2000ToPl1992(x, y, sheetEpsg);
                x = q.x;
                y = q.y;
            }
        }
        if (candidate && accumulator.add(x, y, p.z, p.red, p.green, p.blue)) ++result.pointsKept;
        if (progress && result.pointsRead % kProgressEvery == 0 && !progress(result.pointsRead, total)) {
            result.cancelled = true;
            return result;
        }
    }
    result.complete = !sheet.failed();
    if (sheet.failed()) result.error = sheet.error();
    if (progress) progress(result.pointsRead, total);
    return result;
}

}  // namespace cloudui
