// Everything one point-cloud export needs, copied into the worker that runs it.
#pragma once
#include "cloud_ui/Detail.h"
#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"

namespace cloudui {

struct CloudJob {
    geodesy::Bbox frame;  // PL-1992 metres
    Detail detail = Detail::Standard;
    int zone = geodesy::kEpsgPl2000Zone7;  // target PL-2000 zone, EPSG 2176..2179
    double originE = 0.0;                  // origin override (e.g. the project's survey point)
    double originN = 0.0;
    double originZ = 0.0;
    bool useOrigin = false;  // false: the frame's corner in the zone, height 0
};

}  // namespace cloudui
