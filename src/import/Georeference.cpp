#include "import/Georeference.h"

#include <cmath>

#include "geodesy/Crs.h"
#include "host/Host.h"

namespace importer {

namespace {

// A survey point written without CRS texts (hosts that refuse them) still says its zone: a
// PL-2000 easting carries the zone number in its millions (5..8), far beyond any PL-1992
// easting. Reading such a point as PL-1992 would put the project thousands of kilometres off.
int zoneFromEasting(double easting) {
    if (easting >= 5e6 && easting < 9e6) return 2171 + static_cast<int>(easting / 1e6);
    return geodesy::kEpsgPl1992;
}

}  // namespace

GeorefReading readProjectGeoreference() {
    GeorefReading r;
    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) != host::kHostOk) {
        r.message = "Nie mozna odczytac georeferencji projektu (GeoLocation).";
        return r;
    }
    r.georef.surveyExtra1 = geo.surveyExtra1;
    r.georef.surveyExtra2 = geo.surveyExtra2;
    if (geo.surveyEasting == 0.0 && geo.surveyNorthing == 0.0) {
        if (geo.latitude == 0.0 && geo.longitude == 0.0) {
            r.message =
                "Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\" w palecie Geodraft "
                "(albo ustaw Survey Point: Opcje > Preferencje projektu > Georeferencja).";
            return r;
        }
        // Only the project location is known: its grid position is PL-1992.
        const geodesy::PlanarPoint p = geodesy::wgs84ToPl1992(geo.latitude, geo.longitude);
        r.quality = GeorefQuality::approximate;
        r.georef.easting = p.x;
        r.georef.northing = p.y;
        r.georef.rotation = geo.rotation;
        r.georef.valid = true;
        r.message = "Georeferencja przyblizona (z lokalizacji projektu, nie Survey Pointu).";
        return r;
    }
    r.quality = GeorefQuality::exact;
    r.georef.easting = geo.surveyEasting;
    r.georef.northing = geo.surveyNorthing;
    r.georef.rotation =
        (geo.xAxisAbscissa == 0.0 && geo.xAxisOrdinate == 0.0) ? 0.0 : std::atan2(geo.xAxisOrdinate, geo.xAxisAbscissa);
    r.georef.valid = true;
    r.epsg = geodesy::epsgFromCrsText(geo.crsName);
    if (r.epsg == 0) {
        r.epsg = zoneFromEasting(geo.surveyEasting);
        if (!geo.crsName.empty())
            r.message = "Uwaga: nieobslugiwany CRS projektu \"" + geo.crsName +
                        "\". Import zaklada uklad PL-2000/PL-1992 - sprawdz georeferencje.";
    }
    return r;
}

}  // namespace importer
