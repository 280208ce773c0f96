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
    const geodesy::PlanarPoint corners[] = {
        geodesy::pl1992ToPl2000(frame.minE, frame.minN, epsg), geodesy::pl1992ToPl2000(frame.maxE, frame.minN, epsg),
        geodesy::pl1992ToPl2000(frame.minE, frame.maxN, epsg), geodesy::pl1992ToPl2000(frame.maxE, frame.maxN, epsg)};
    geodesy::Bbox box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const geodesy::PlanarPoint& c : corners) {
        box.minE = std::min(box.minE, c.x);
        box.minN = std::min(box.minN, c.y);
        box.maxE = std::max(box.maxE, c.x);
        box.maxN = std::max(box.maxN, c.y);
    }
    return {box.minE - kPrefilterMargin, box.minN - kPrefilterMargin, box.maxE + kPrefilterMargin,
            box.maxN + kPrefilterMargin};
}

}  // namespace

SheetImport importSheet(const std::filesystem::path& path, int sheetEpsg, CloudAccumulator& accumulator,
                        const platform::ProgressCallback& progress) {
    SheetImport result;
    LasSheet sheet;
    if (!sheet.open(path)) {
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
