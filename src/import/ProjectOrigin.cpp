// "setOrigin": writes the project's georeference from the centre of the map.
#include <cmath>
#include <string>

#include "geodesy/Crs.h"
#include "host/Host.h"
#include "import/ImportController.h"
#include "import/OriginTerrainHeight.h"
#include "platform/Numbers.h"
#include "settings/Diagnostics.h"

using platform::cformat, platform::streamNumber;

namespace {

Json errorReply(const std::string& msg) { return Json{{"type", "error"}, {"msg", msg}}; }

// The record as the map centre defines it; fields the add-on does not own stay as read.
GeoLocation filledRecord(GeoLocation geo, double lat, double lon, int zone, EN at) {
    geo.crsName = "EPSG:" + std::to_string(zone);
    geo.geodeticDatum = "ETRF2000 (PL-ETRF2000)";
    geo.verticalDatum = "PL-EVRF2007-NH";
    geo.mapProjection = "PL-2000";
    geo.mapZone = std::to_string(zone - 2171);
    geo.longitude = lon;
    geo.latitude = lat;
    geo.altitude = 0.0;
    geo.locationFlags = 60;
    geo.surveyEasting = at.e;
    geo.surveyNorthing = at.n;
    geo.surveyHeight = 0.0;
    geo.xAxisAbscissa = 1.0;
    geo.xAxisOrdinate = 0.0;
    geo.scale = 1.0;
    return geo;
}

struct WriteOutcome {
    HostError code = kHostOk;
    int level = -1;  // 0 full, 1 without CRS descriptions, 2 minimum, -1 every level refused
};

// Hosts differ in which CRS texts they accept; each level drops more of them.
WriteOutcome writeWithFallbacks(const GeoLocation& full) {
    WriteOutcome out;
    out.code = host().writeGeoLocation(full);
    if (out.code == kHostOk) {
        out.level = 0;
        return out;
    }
    GeoLocation reduced = full;
    reduced.crsText2.clear();
    reduced.geodeticDatum.clear();
    reduced.verticalDatum.clear();
    reduced.mapProjection.clear();
    reduced.mapZone.clear();
    out.code = host().writeGeoLocation(reduced);
    if (out.code == kHostOk) {
        out.level = 1;
        return out;
    }
    reduced.crsName.clear();
    out.code = host().writeGeoLocation(reduced);
    out.level = out.code == kHostOk ? 2 : -1;
    return out;
}

std::string diagnosticText(const WriteOutcome& w, double lat, double lon, int zone, EN at) {
    return "SetGeoLocation: koncowy_err=" + std::to_string(w.code) +
           " poziom_ktory_przeszedl=" + std::to_string(w.level) +
           " (0=pelny,1=bez-opisow-CRS,2=minimum,-1=wszystkie-padly)\n" + "  lat=" + streamNumber(lat) +
           " lon=" + streamNumber(lon) + " zone=" + std::to_string(zone) + " E=" + streamNumber(at.e) +
           " N=" + streamNumber(at.n) + " H=" + streamNumber(0.0) + "\n" +
           "  APIERR czeste: -2130311=BADID -2130313=BADPARS -2130315=BADINDEX -2110145=NOTSUPPORTED\n";
}

}  // namespace

Json ImportController::onSetOrigin(const Json& msg) {
    if (!msg.contains("lat") || !msg.contains("lon")) return errorReply("Brak wspolrzednych srodka mapy");
    const double lat = msg["lat"].get<double>();
    const double lon = msg["lon"].get<double>();
    // A point off the globe would write a meaningless georeference into the project.
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0)
        return errorReply("Nieprawidlowe wspolrzedne srodka mapy");

    const int zone = pl2000ZoneForLongitude(lon);
    const EN at = pl1992ToPl2000(wgs84ToPl1992(lat, lon), zone);

    GeoLocation geo;
    if (host().readGeoLocation(geo) != kHostOk) return errorReply("Nie mozna odczytac georeferencji projektu");

    const WriteOutcome written = writeWithFallbacks(filledRecord(geo, lat, lon, zone, at));
    writeDiagnosticFile(kGeoDiagFile, diagnosticText(written, lat, lon, zone, at));
    if (written.code != kHostOk) {
        return errorReply("Nie udalo sie zapisac georeferencji projektu (kod " + std::to_string(written.code) +
                          "). Szczegoly: " + diagnosticPath(kGeoDiagFile).string() +
                          ". Ustaw lokalizacje recznie: Opcje > Preferencje projektu > Georeferencja.");
    }

    host().reportLine(
        cformat("TERRAVOX: ustawiono georeferencje projektu: E=%f N=%f (PL-2000, EPSG:%d) H=%f m "
                "n.p.m. (PL-EVRF2007-NH)",
                at.e, at.n, zone, 0.0));
    // The terrain height arrives later, from the elevation model, when it can be found.
    startOriginHeightLookup(webClient_, wgs84ToPl1992(lat, lon), at);
    return Json{{"type", "originSet"}, {"e", at.e}, {"n", at.n}, {"h", 0.0}, {"epsg", zone}};
}
