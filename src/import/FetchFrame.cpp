#include "import/FetchFrame.h"

#include <algorithm>

#include "geodesy/Crs.h"

namespace importer {

geodesy::Bbox pl1992FrameFromWgs84(double west, double south, double east, double north) {
    return geodesy::boundsOf({geodesy::wgs84ToPl1992(south, west), geodesy::wgs84ToPl1992(north, east),
                              geodesy::wgs84ToPl1992(north, west), geodesy::wgs84ToPl1992(south, east)});
}

int chooseFetchEpsg(double centreLongitude, const std::string& projectCrsName) {
    const int projectEpsg = geodesy::epsgFromCrsText(projectCrsName);
    if (geodesy::isPl2000Epsg(projectEpsg)) return projectEpsg;
    return geodesy::pl2000ZoneForLongitude(centreLongitude);
}

}  // namespace importer
