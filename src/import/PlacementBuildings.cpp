#include "import/PlacementBuildings.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "buildings/Lod1Solid.h"
#include "buildings/MorphMaker.h"
#include "import/PlacementContext.h"
#include "platform/Numbers.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

constexpr std::size_t kLod1DiagnosedBuildings = 6;
constexpr std::int32_t kLod2Material = 1;

std::string upper(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

// A PL-1992 point in the working zone and then in project coordinates.
geodesy::PlanarPoint toProject(const PlacementContext& c, const geodesy::PlanarPoint& p) {
    const geodesy::PlanarPoint zone = c.toZone.apply(p);
    const host::HostPoint2 q = c.transform.apply(zone.x, zone.y);
    return {q.x, q.y};
}

std::vector<geodesy::PlanarPoint> toProject(const PlacementContext& c, const std::vector<geodesy::PlanarPoint>& ring) {
    std::vector<geodesy::PlanarPoint> out;
    out.reserve(ring.size());
    for (const geodesy::PlanarPoint& p : ring) out.push_back(toProject(c, p));
    return out;
}

// A ring through the projection with its heights reduced by the offset.
buildings::MorphRing morphRing(const PlacementContext& c, const std::vector<geodesy::PlanarPoint>& ring,
                               const std::vector<double>& z, double offset) {
    buildings::MorphRing out{toProject(c, ring), {}};
    out.z.reserve(z.size());
    for (double v : z) out.z.push_back(v - offset);
    return out;
}

std::string num(double value) { return platform::streamNumber(value); }

}  // namespace

host::HostError placeLod1Buildings(PlacementContext& c) {
    const double offset = c.buildingOffset;
    const std::int32_t layer = c.layers.layerFor(formats::DataType::budynki3d);
    const auto& all = c.data.buildings3d;
    std::string diag = "LOD1: zOff=" + num(offset) + " (buildingZOffset) budynkow=" + std::to_string(all.size());
    for (std::size_t k = 0; k < all.size() && k < kLod1DiagnosedBuildings; ++k)
        diag += "\n  LOD1 #" + std::to_string(k) + " groundZ_npm=" + num(all[k].groundZ) +
                " height=" + num(all[k].height) + " bazaLokalna=" + num(all[k].groundZ - offset);
    c.result.heightDiagnostics += diag;

    int made = 0, duplicates = 0;
    for (const buildings::Building3D& b : all) {
        if (!c.lod2Ids.empty() && !b.id.empty() && c.lod2Ids.count(upper(b.id)) != 0) {
            ++duplicates;
            continue;
        }
        const std::vector<geodesy::PlanarPoint> footprint = toProject(c, b.footprint);
        if (footprint.size() < 3 || !(b.height > 0.0)) {
            ++c.result.failures;
            continue;
        }
        std::vector<std::vector<geodesy::PlanarPoint>> holes;
        for (const auto& hole : b.holes) holes.push_back(toProject(c, hole));
        if (buildings::makeLod1Solid(footprint, b.groundZ - offset, b.height, layer, b.id, holes) == host::kHostOk)
            ++made;
        else ++c.result.failures;
    }
    c.result.counts["budynki3d"] = made;
    if (duplicates > 0)
        host::host().reportLine("TERRAVOX LOD1: pominieto " + std::to_string(duplicates) +
                                " bryl dublujacych sie z dachami LOD2 (zostawiono LOD2); postawiono LOD1 tylko tam, "
                                "gdzie brak LOD2.");
    return host::kHostOk;
}

host::HostError placeLod2Buildings(PlacementContext& c) {
    const double offset = c.buildingOffset;
    const std::int32_t layer = c.layers.layerFor(formats::DataType::budynkilod2);
    buildings::TriangulationStats stats;
    int made = 0, clean = 0, triangulated = 0, soup = 0, skipped = 0, degenerate = 0;
    std::map<host::HostError, int> codes;
    std::vector<std::string> fanned;  // buildings with a face beyond the clipper's budget, drawn as a fan
    for (const buildings::BuildingLod2& b : c.data.buildingsLod2) {
        const bool usable = std::any_of(b.surfaces.begin(), b.surfaces.end(),
                                        [](const buildings::Lod2Surface& s) { return s.ring.size() >= 3; });
        if (!usable) {
            ++degenerate;
            ++skipped;
            continue;
        }
        std::vector<buildings::MorphFace> faces;
        faces.reserve(b.surfaces.size());
        for (const buildings::Lod2Surface& s : b.surfaces) {
            buildings::MorphRing outline = morphRing(c, s.ring, s.z, offset);
            buildings::MorphFace face{std::move(outline.points), std::move(outline.z), {}};
            for (const buildings::Lod2Ring& hole : s.holes)
                face.holes.push_back(morphRing(c, hole.ring, hole.z, offset));
            faces.push_back(std::move(face));
        }
        const int fansBefore = stats.counts[buildings::kFanFallback];
        host::HostError e = buildings::makeMorph(faces, layer, false, true, kLod2Material, &stats, &b.id);
        if (stats.counts[buildings::kFanFallback] != fansBefore) fanned.push_back(b.id);
        if (e == host::kHostOk) {
            ++clean;
        } else if ((e = buildings::makeMorph(faces, layer, true, true, kLod2Material, nullptr, &b.id)) ==
                   host::kHostOk) {
            ++triangulated;
        } else if ((e = buildings::makeMorph(faces, layer, true, false, kLod2Material, nullptr, &b.id)) ==
                   host::kHostOk) {
            ++soup;
        } else {
            ++skipped;
            ++codes[e];
            continue;
        }
        ++made;
    }
    c.result.counts["budynkilod2"] = made;
    c.result.failures += skipped;

    std::string line = "TERRAVOX LOD2: utworzono " + std::to_string(made) + " (czyste: " + std::to_string(clean) +
                       ", triangulacja: " + std::to_string(triangulated) + ", zupa: " + std::to_string(soup) + ")" +
                       ", pominieto " + std::to_string(skipped) + " (zdegenerowane: " + std::to_string(degenerate) +
                       ")";
    for (const auto& [code, count] : codes)
        line += "; blad Morph kod " + std::to_string(code) + " x" + std::to_string(count);
    host::host().reportLine(line);
    if (!fanned.empty()) {
        std::string names;
        for (std::size_t k = 0; k < fanned.size() && k < 5; ++k) names += (k ? ", " : "") + fanned[k];
        if (fanned.size() > 5) names += ", ...";
        host::host().reportLine(
            "TERRAVOX LOD2: " + std::to_string(fanned.size()) +
            " budynkow ma sciane zbyt zlozona do triangulacji - narysowana uproszczona, sprawdz: " + names);
    }

    const auto& s = stats.counts;
    auto n = [&](int k) { return std::to_string(s[static_cast<std::size_t>(k)]); };
    settings::writeDiagnosticFile(
        settings::kLod2DiagFile,
        "pobrano(fetch)=" + std::to_string(c.data.buildingsLod2.size()) + "\n" + line + "\n" +
            "-- TRIANGULACJA (screen 31 fan) --\n" + "scian=" + n(0) + " plaska-wypukla(polygon)=" + n(1) +
            " plaska-wklesla(earClip)=" + n(2) + " nieplaska(earClip)=" + n(3) + "\n" + "earClip OK=" + n(4) +
            " earClip PUSTO->FALLBACK-FAN=" + n(5) + " (worst n=" + n(8) + ")\n" + "quasi-fan(earOk maxDeg>=60%)=" +
            n(6) + " (worst n=" + n(9) + ")\n" + "quasi-fan PO flipie (n>=7)=" + n(7) + " [cel: ~0]\n");
    return host::kHostOk;
}

}  // namespace importer
