#include "import/Placement.h"

#include <cctype>
#include <cmath>
#include <exception>

#include "geodesy/Crs.h"
#include "import/LayerMapping.h"
#include "import/PlacementChecks.h"
#include "import/PlacementContext.h"
#include "import/PlacementSteps.h"
#include "platform/Numbers.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

nlohmann::json errorReply(const std::string& msg) {
    return nlohmann::json{{"type", "error"}, {"msg", gml::validUtf8(msg)}};
}

void addNote(std::string& text, const std::string& note) {
    if (note.empty()) return;
    if (!text.empty()) text += ' ';
    text += note;
}

std::string wholeMetres(double value) { return platform::cformat("%lld", static_cast<long long>(std::trunc(value))); }

std::set<std::string> lod2Identifiers(const std::vector<buildings::BuildingLod2>& buildings) {
    std::set<std::string> ids;
    for (const buildings::BuildingLod2& b : buildings) {
        if (b.id.empty()) continue;
        const bool hasSurface = std::any_of(b.surfaces.begin(), b.surfaces.end(),
                                            [](const buildings::Lod2Surface& s) { return s.ring.size() >= 3; });
        if (!hasSurface) continue;
        std::string upper = b.id;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        ids.insert(upper);
    }
    return ids;
}

// Heights of buildings and contour meshes: the terrain's offset when terrain came with the data,
// else the project's own height, else the stored anchor.
double buildingOffset(const FetchedData& data, const HeightAnchor& anchor, const settings::Settings& settings) {
    if (!data.terrain.empty() || !data.terrainCloud.empty()) return anchor.offset;
    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) == host::kHostOk && std::isfinite(geo.surveyHeight) &&
        geo.surveyHeight != 0.0)
        return geo.surveyHeight;
    if (settings.hasZAnchor) return settings.zAnchor;
    return 0.0;
}

// Heights of the point-cloud contour mesh: the cloud terrain's offset, else the elevation model's,
// else the project's own height.
double cloudContourOffset(const FetchedData& data, const HeightAnchor& anchor) {
    if (!data.terrainCloud.empty() || !data.terrain.empty()) return anchor.offset;
    host::GeoLocation geo;
    return host::host().readGeoLocation(geo) == host::kHostOk && std::isfinite(geo.surveyHeight) ? geo.surveyHeight
                                                                                                 : 0.0;
}

}  // namespace

nlohmann::json runPlacement(const PlacementRequest& request) {
    const FetchedData& data = request.data;
    settings::Settings& settings = request.settings;

    const PlacementGeoref georef = checkPlacementGeoreference(request.frame, request.fetchEpsg);
    if (!georef.error.empty()) return errorReply(georef.error);

    const HeightAnchor anchor = chooseHeightAnchor(data, settings);

    PlacementResult result;
    LayerMapping layers(settings);
    PlacementContext context{data,
                             request.layerKeys,
                             request.smoothContours,
                             request.frame,
                             georef.workingEpsg,
                             ZoneConversion{georef.workingEpsg},
                             georef.transform,
                             anchor.offset,
                             anchor.offset,
                             buildingOffset(data, anchor, settings),
                             cloudContourOffset(data, anchor),
                             lod2Identifiers(data.buildingsLod2),
                             layers,
                             result};

    AnchorWrite anchorWrite;
    const host::HostError code = host::host().undoableCommand(kPlacementCommandName, [&]() -> host::HostError {
        // Nothing may escape into the host: an unexpected failure undoes the command like any other.
        try {
            anchorWrite = writeHeightAnchor(anchor);
            return importer::runPlacementSteps(context);
        } catch (const std::exception& e) {
            return context.abort(std::string("Blad wewnetrzny: ") + e.what());
        } catch (...) {
            return context.abort("Blad wewnetrzny: nieznany blad");
        }
    });
    const bool placed = code == host::kHostOk && result.error.empty();
    // A refused placement leaves no anchor behind: the next one computes it again.
    if (placed) {
        storeHeightAnchor(anchor, settings);
        notePlacementAnchored();
    }
    // A rolled-back command took the anchor's write with it: the diagnostics say what the project holds now.
    if (!placed) anchorWrite = AnchorWrite{false, projectSurveyHeight()};
    writeHeightDiagnostics(anchor, settings, anchorWrite);
    if (!result.heightDiagnostics.empty())
        settings::appendDiagnosticLine(settings::kZDiagFile, result.heightDiagnostics);
    if (!placed) return errorReply(result.error.empty() ? "Import nieudany (transakcja wycofana)" : result.error);

    std::string warnings = georef.warnings;
    if (result.failures >= 1)
        addNote(warnings, "Pominieto " + std::to_string(result.failures) + " wadliwych geometrii lub bryl.");
    if (result.bounds.valid) {
        host::host().reportLine("TERRAVOX: wektory w lokalnych wsp. X[" + wholeMetres(result.bounds.minX) + ".." +
                                wholeMetres(result.bounds.maxX) + "] Y[" + wholeMetres(result.bounds.minY) + ".." +
                                wholeMetres(result.bounds.maxY) + "] m od zera projektu.");
    }
    addNote(warnings, anchor.note);
    addNote(warnings, data.warning);
    addNote(warnings, result.warnings);
    warnings = gml::validUtf8(warnings);

    nlohmann::json reply{{"type", "placeDone"}, {"counts", result.counts}};
    if (!warnings.empty()) {
        reply["warning"] = warnings;
        host::host().reportLine("TERRAVOX: " + warnings);
    }
    return reply;
}

}  // namespace importer
