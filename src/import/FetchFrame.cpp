#include "import/FetchFrame.h"

#include <algorithm>

#include "geodesy/Crs.h"

namespace importer {

Bbox pl1992FrameFromWgs84(double west, double south, double east, double north) {
    const EN corners[4] = {wgs84ToPl1992(south, west), wgs84ToPl1992(north, east), wgs84ToPl1992(north, west),
                           wgs84ToPl1992(south, east)};
    Bbox box{corners[0].e, corners[0].n, corners[0].e, corners[0].n};
    for (const EN& c : corners) {
        box.minE = std::min(box.minE, c.e);
        box.minN = std::min(box.minN, c.n);
        box.maxE = std::max(box.maxE, c.e);
        box.maxN = std::max(box.maxN, c.n);
    }
    return box;
}

int chooseFetchEpsg(double centreLongitude, const std::string& projectCrsName) {
    const int projectEpsg = epsgFromCrsText(projectCrsName);
    if (projectEpsg >= kEpsgPl2000Zone5 && projectEpsg <= kEpsgPl2000Zone8) return projectEpsg;
    return pl2000ZoneForLongitude(centreLongitude);
}

}  // namespace importer
