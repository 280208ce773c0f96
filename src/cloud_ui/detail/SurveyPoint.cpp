#include "cloud_ui/detail/SurveyPoint.h"

#include <cmath>

#include "geodesy/Crs.h"
#include "host/Host.h"

namespace cloudui::detail {

SurveyPoint readSurveyPoint() {
    SurveyPoint r;
    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) != host::kHostOk) return r;
    if (geo.surveyEasting == 0.0 && geo.surveyNorthing == 0.0) {
        if (geo.latitude == 0.0 && geo.longitude == 0.0) return r;
        const geodesy::PlanarPoint p = geodesy::wgs84ToPl1992(geo.latitude, geo.longitude);
        r.quality = 1;
        r.east = p.x;
        r.north = p.y;
        r.rotation = geo.rotation;
        return r;
    }
    r.quality = 2;
    r.east = geo.surveyEasting;
    r.north = geo.surveyNorthing;
    r.rotation =
        (geo.xAxisAbscissa == 0.0 && geo.xAxisOrdinate == 0.0) ? 0.0 : std::atan2(geo.xAxisOrdinate, geo.xAxisAbscissa);
    r.epsg = geodesy::epsgFromCrsText(geo.crsName);
    // Without a CRS text a PL-2000 easting still names its zone in its millions.
    if (r.epsg == 0)
        r.epsg = geo.surveyEasting >= 5e6 && geo.surveyEasting < 9e6 ? 2171 + static_cast<int>(geo.surveyEasting / 1e6)
                                                                     : 2180;
    return r;
}

}  // namespace cloudui::detail
