#include "import/PlacementChecks.h"

#include <cmath>
#include <stdexcept>

#include "geodesy/Crs.h"
#include "host/Host.h"
#include "platform/Numbers.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

bool isPl2000Zone(int epsg) { return geodesy::isPl2000Epsg(epsg); }

void addNote(std::string& text, const std::string& note) {
    if (note.empty()) return;
    if (!text.empty()) text += ' ';
    text += note;
}

std::string wholeNumber(double value) { return platform::cformat("%lld", static_cast<long long>(std::trunc(value))); }

}  // namespace

PlacementGeoref checkPlacementGeoreference(const geodesy::Bbox& frame, int fetchEpsg) {
    PlacementGeoref out;
    const GeorefReading reading = readProjectGeoreference();
    out.quality = reading.quality;
    if (reading.quality == GeorefQuality::none) {
        out.error = reading.message;
        return out;
    }
    geodesy::PlanarPoint origin{reading.georef.easting, reading.georef.northing};
    try {
        if (isPl2000Zone(reading.epsg)) {
            out.workingEpsg = reading.epsg;
        } else {
            out.workingEpsg = fetchEpsg;
            origin = geodesy::pl1992ToPl2000(origin, fetchEpsg);
        }
        const geodesy::PlanarPoint centre = geodesy::pl1992ToPl2000(frame.centre(), out.workingEpsg);
        out.distanceKm = std::hypot(centre.x - origin.x, centre.y - origin.y) / 1000.0;
    } catch (const std::invalid_argument&) {
        // Only a fetch that never chose a zone gets here; there is nothing to place then.
        out.error = "Najpierw kliknij \"1. Pobierz elementy\".";
        return out;
    }
    out.transform = {origin.x, origin.y, reading.georef.rotation, reading.georef.surveyExtra1,
                     reading.georef.surveyExtra2};

    const std::string km = wholeNumber(out.distanceKm);
    if (reading.quality == GeorefQuality::approximate && out.distanceKm > kApproximateGeorefLimitKm) {
        out.error = "Georeferencja projektu jest przyblizona i lezy " + km +
                    " km od pobranego obszaru. Kliknij \"Ustaw lokalizacje projektu wg mapy\" i sprobuj ponownie.";
        return out;
    }
    if (reading.quality == GeorefQuality::exact) {
        if (out.distanceKm > kExactGeorefWarningKm)
            addNote(out.warnings, "Uwaga: pobrany obszar lezy " + km +
                                      " km od Survey Pointu projektu - elementy beda daleko od zera projektu.");
        addNote(out.warnings, reading.message);
    }
    return out;
}

HeightAnchor chooseHeightAnchor(const FetchedData& data, const settings::Settings& settings) {
    HeightAnchor a;
    a.terrainSets = static_cast<int>(data.terrain.size());
    a.cloudTerrainSets = static_cast<int>(data.terrainCloud.size());
    a.surveyHeightAtStart = projectSurveyHeight();
    if (a.surveyHeightAtStart != 0.0) {
        a.offset = a.surveyHeightAtStart;
        return a;
    }
    if (settings.hasZAnchor && settings.zAnchor != 0.0) {
        a.offset = settings.zAnchor;
        return a;
    }
    double lowest = 1e18;
    for (const auto* set : {&data.terrain, &data.terrainCloud})
        for (const terrain::TerrainPatch& patch : *set)
            for (const geodesy::SpatialPoint& p : patch.points)
                if (std::isfinite(p.z) && p.z < lowest) lowest = p.z;
    if (lowest >= 1e17) return a;
    a.lowestTerrain = lowest;
    a.offset = lowest;
    a.newAnchor = true;
    a.note = "Rzedna projektu = najnizszy punkt terenu (" + wholeNumber(lowest) +
             " m npm) = 0 projektu; zapisana w ustawieniach. Kolejne importy spojne Z.";
    return a;
}

namespace {
unsigned long g_placementsAnchored = 0;
}  // namespace

unsigned long placementsAnchored() { return g_placementsAnchored; }
void notePlacementAnchored() { ++g_placementsAnchored; }

double projectSurveyHeight() {
    host::GeoLocation geo;
    return host::host().readGeoLocation(geo) == host::kHostOk ? geo.surveyHeight : 0.0;
}

AnchorWrite writeHeightAnchor(const HeightAnchor& anchor) {
    AnchorWrite w;
    host::GeoLocation geo;
    if (anchor.newAnchor && host::host().readGeoLocation(geo) == host::kHostOk) {
        geo.surveyHeight = anchor.offset;
        w.written = host::host().writeGeoLocation(geo) == host::kHostOk;
    }
    w.heightAfter = projectSurveyHeight();
    return w;
}

void storeHeightAnchor(const HeightAnchor& anchor, settings::Settings& settings) {
    if (!anchor.newAnchor) return;
    settings.zAnchor = anchor.offset;
    settings.hasZAnchor = true;
    settings::saveSettings(settings);
}

void writeHeightDiagnostics(const HeightAnchor& anchor, const settings::Settings& settings, const AnchorWrite& write) {
    const std::string line =
        "ohZ_georef_start=" + platform::streamNumber(anchor.surveyHeightAtStart) +
        " minZ_liczony=" + platform::streamNumber(anchor.lowestTerrain) +
        " zAnchor(settings)=" + platform::streamNumber(settings.hasZAnchor ? settings.zAnchor : 0.0) +
        " hasZAnchor=" + (settings.hasZAnchor ? "1" : "0") + " SetGeoLocation_ok=" + (write.written ? "1" : "0") +
        " ohAfterSet=" + platform::streamNumber(write.heightAfter) +
        " terrainZOffset=" + platform::streamNumber(anchor.offset) + " terenNMT=" + std::to_string(anchor.terrainSets) +
        " terenChmura=" + std::to_string(anchor.cloudTerrainSets) + "\n";
    settings::writeDiagnosticFile(settings::kZDiagFile, line);
}

}  // namespace importer
