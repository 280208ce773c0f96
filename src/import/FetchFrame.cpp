#include "import/FetchFrame.h"

#include <algorithm>

#include "geodesy/Crs.h"

namespace importer {

geodesy::Bbox pl1992FrameFromWgs84(double west, double south, double east, double north) {
    const geodesy::PlanarPoint corners[4] = {geodesy::wgs84ToPl1992(south, west), geodesy::wgs84ToPl1992(north, east),
                                             geodesy::wgs84ToPl1992(north, west), geodesy::wgs84ToPl1992(south, east)};
    geodesy::Bbox box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const geodesy::PlanarPoint& c : corners) {
        box.minE = std::min(box.minE, c.x);
        box.minN = std::min(box.minN, c.y);
        box.maxE = std::max(box.maxE, c.x);
        box.maxN = std::max(box.maxN, c.y);
    }
    return box;
}

int chooseFetchEpsg(double centreLongitude, const std::string& projectCrsName) {
    const int projectEpsg = geodesy::epsgFromCrsText(projectCrsName);
    if (geodesy::isPl2000Epsg(projectEpsg)) return projectEpsg;
    return geodesy::pl2000ZoneForLongitude(centreLongitude);
}

}  // namespace importer
