#include "lidar/SheetGrid.h"

#include "geodesy/Crs.h"

namespace lidar {

namespace {

constexpr double kPrefilterMargin = 2.0;  // metres; covers the curvature between mapped corners

}  // namespace

SheetGrid::SheetGrid(const geodesy::Bbox& frame, int sheetEpsg) : frame_(frame) {
    if (!geodesy::isPl2000Epsg(sheetEpsg)) return;
    epsg_ = sheetEpsg;
    const geodesy::Bbox box = geodesy::pl1992FrameToPl2000(frame, sheetEpsg);
    prefilter_ = {box.minE - kPrefilterMargin, box.minN - kPrefilterMargin, box.maxE + kPrefilterMargin,
                  box.maxN + kPrefilterMargin};
}

bool SheetGrid::toFrame(formats::CloudPoint& p) const {
    if (epsg_ != 0) {
        if (!prefilter_.contains({p.x, p.y})) return false;
        const geodesy::PlanarPoint q = geodesy::pl2000ToPl1992(p.x, p.y, epsg_);
        p.x = q.x;
        p.y = q.y;
    }
    return frame_.contains({p.x, p.y});
}

}  // namespace lidar
