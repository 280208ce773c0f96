#include "import/ProjectOrigin.h"

#include <cmath>
#include <string>

#include "geodesy/Crs.h"
#include "host/Host.h"
#include "import/OriginTerrainHeight.h"
#include "platform/Numbers.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

constexpr double kGridMinLatitude = 48.5;
constexpr double kGridMaxLatitude = 55.5;
constexpr double kGridMinLongitude = 13.5;
constexpr double kGridMaxLongitude = 25.5;

nlohmann::json errorReply(const std::string& msg) { return nlohmann::json{{"type", "error"}, {"msg", msg}}; }

// The record as the map centre defines it; fields the add-on does not own stay as read.
host::GeoLocation filledRecord(host::GeoLocation geo, double lat, double lon, int zone, geodesy::PlanarPoint at) {
    geo.crsName = "EPSG:" + std::to_string(zone);
    geo.geodeticDatum = "ETRF2000 (PL-ETRF2000)";
    geo.verticalDatum = "PL-EVRF2007-NH";
    geo.mapProjection = "PL-2000";
    geo.mapZone = std::to_string(zone - 2171);
    geo.longitude = lon;
    geo.latitude = lat;
    geo.altitude = 0.0;
    geo.locationFlags = 60;
    geo.surveyEasting = at.x;
    geo.surveyNorthing = at.y;
    geo.surveyHeight = 0.0;
    geo.xAxisAbscissa = 1.0;
    geo.xAxisOrdinate = 0.0;
    geo.scale = 1.0;
    return geo;
}

struct WriteOutcome {
    host::HostError code = host::kHostOk;
    int level = -1;  // 0 full, 1 without CRS descriptions, 2 minimum, -1 every level refused
};

// Hosts differ in which CRS texts they accept; each level drops more of them.
WriteOutcome writeWithFallbacks(const host::GeoLocation& full) {
    WriteOutcome out;
    out.code = host::host().writeGeoLocation(full);
    if (out.code == host::kHostOk) {
        out.level = 0;
        return out;
    }
    host::GeoLocation reduced = full;
    reduced.crsText2.clear();
    reduced.geodeticDatum.clear();
    reduced.verticalDatum.clear();
    reduced.mapProjection.clear();
    reduced.mapZone.clear();
    out.code = host::host().writeGeoLocation(reduced);
    if (out.code == host::kHostOk) {
        out.level = 1;
        return out;
    }
    reduced.crsName.clear();
    out.code = host::host().writeGeoLocation(reduced);
    out.level = out.code == host::kHostOk ? 2 : -1;
    return out;
}

std::string diagnosticText(const WriteOutcome& w, double lat, double lon, int zone, geodesy::PlanarPoint at) {
    return "SetGeoLocation: koncowy_err=" + std::to_string(w.code) +
           " poziom_ktory_przeszedl=" + std::to_string(w.level) +
           " (0=pelny,1=bez-opisow-CRS,2=minimum,-1=wszystkie-padly)\n" + "  lat=" + platform::streamNumber(lat) +
           " lon=" + platform::streamNumber(lon) + " zone=" + std::to_string(zone) +
           " E=" + platform::streamNumber(at.x) + " N=" + platform::streamNumber(at.y) +
           " H=" + platform::streamNumber(0.0) + "\n" +
           "  APIERR czeste: -2130311=BADID -2130313=BADPARS -2130315=BADINDEX -2110145=NOTSUPPORTED\n";
}

}  // namespace

nlohmann::json setProjectOrigin(const nlohmann::json& msg, const net::WfsClient& webClient) {
    if (!msg.contains("lat") || !msg.contains("lon")) return errorReply("Brak wspolrzednych srodka mapy");
    const double lat = msg["lat"].get<double>();
    const double lon = msg["lon"].get<double>();
    // A point off the globe would write a meaningless georeference into the project.
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0)
        return errorReply("Nieprawidlowe wspolrzedne srodka mapy");

    // The PL-2000 zones span 13.5 to 25.5 degrees east around Poland; far outside them the projection gives
    // eastings of astronomic size that no project may hold.
    if (lat < kGridMinLatitude || lat > kGridMaxLatitude || lon < kGridMinLongitude || lon > kGridMaxLongitude)
        return errorReply(
            "Punkt poza zasiegiem ukladu PL-2000 (dlugosc 13,5-25,5 E, szerokosc 48,5-55,5 N) - "
            "georeferencja nie zostala ustawiona.");
    const int zone = geodesy::pl2000ZoneForLongitude(lon);
    const geodesy::PlanarPoint at = geodesy::pl1992ToPl2000(geodesy::wgs84ToPl1992(lat, lon), zone);
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) return errorReply("Nieprawidlowe wspolrzedne srodka mapy");

    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) != host::kHostOk)
        return errorReply("Nie mozna odczytac georeferencji projektu");

    const WriteOutcome written = writeWithFallbacks(filledRecord(geo, lat, lon, zone, at));
    settings::writeDiagnosticFile(settings::kGeoDiagFile, diagnosticText(written, lat, lon, zone, at));
    if (written.code != host::kHostOk) {
        return errorReply("Nie udalo sie zapisac georeferencji projektu (kod " + std::to_string(written.code) +
                          "). Szczegoly: " + settings::diagnosticPath(settings::kGeoDiagFile).string() +
                          ". Ustaw lokalizacje recznie: Opcje > Preferencje projektu > Georeferencja.");
    }

    host::host().reportLine(
        platform::cformat("TERRAVOX: ustawiono georeferencje projektu: E=%f N=%f (PL-2000, EPSG:%d) H=%f m "
                          "n.p.m. (PL-EVRF2007-NH)",
                          at.x, at.y, zone, 0.0));
    // The terrain height arrives later, from the elevation model, when it can be found.
    startOriginHeightLookup(webClient, geodesy::wgs84ToPl1992(lat, lon), at);
    return nlohmann::json{{"type", "originSet"}, {"e", at.x}, {"n", at.y}, {"h", 0.0}, {"epsg", zone}};
}

}  // namespace importer
