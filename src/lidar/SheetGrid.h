// A PL-1992 frame as a sheet in its own grid sees it.
#pragma once
#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"

namespace lidar {

class SheetGrid {
public:
    // sheetEpsg 2176..2179 marks a PL-2000 sheet; any other code is read as PL-1992.
    SheetGrid(const geodesy::Bbox& frame, int sheetEpsg);

    // Moves the point into PL-1992; false when it lies outside the frame (edges belong to it). A PL-2000 sheet's
    // points are first tested against the frame's rectangle in the zone, widened by 2 m, and only those inside
    // are converted: most of a sheet lies outside a small frame.
    bool toFrame(formats::CloudPoint& point) const;

private:
    geodesy::Bbox frame_;
    geodesy::Bbox prefilter_;
    int epsg_ = 0;  // the zone of a PL-2000 sheet, else 0
};

}  // namespace lidar
