// geodraft model PROJECT: what a project file holds, by element kind and layer, and its georeference.
#include <charconv>
#include <cstdio>
#include <map>
#include <string>

#include "Commands.h"
#include "model/ModelState.h"
#include "model/ProjectFile.h"

namespace {

// Shortest text that reads back as the same double; independent of the locale.
std::string exactNumber(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

struct KindName {
    std::int32_t type;
    const char* name;
};

const KindName kKinds[] = {
    {host::kElemPolyline, "polilinie"}, {host::kElemText, "teksty"}, {host::kElemFill, "wypelnienia"},
    {host::kElemMesh, "siatki"},        {host::kElemSlab, "stropy"}, {host::kElemMorph, "bryly (morph)"},
    {host::kElemPicture, "obrazy"},
};

std::string layerName(const model::ModelState& s, std::int32_t index) {
    auto it = s.attributes.find(host::kAttrLayer);
    if (it != s.attributes.end() && index >= 1 && static_cast<std::size_t>(index) <= it->second.size())
        return it->second[static_cast<std::size_t>(index - 1)].name;
    return "(warstwa " + std::to_string(index) + ")";
}

void printElements(const model::ModelState& s) {
    std::printf("Elementy: %zu\n", s.elements.size());
    for (const auto& kind : kKinds) {
        std::map<std::int32_t, std::size_t> perLayer;
        std::size_t total = 0;
        for (const auto& el : s.elements) {
            if (el.header.type != kind.type) continue;
            ++perLayer[el.header.layer];
            ++total;
        }
        if (total == 0) continue;
        std::printf("  %s: %zu\n", kind.name, total);
        for (const auto& [layer, count] : perLayer) std::printf("    %s: %zu\n", layerName(s, layer).c_str(), count);
    }
}

void printGeoLocation(const model::ModelState& s) {
    if (!s.geoLocationSet) {
        std::printf("Georeferencja: brak\n");
        return;
    }
    const host::GeoLocation& g = s.geoLocation;
    std::printf("Georeferencja:\n");
    auto text = [](const char* name, const std::string& v) { std::printf("  %s: \"%s\"\n", name, v.c_str()); };
    auto num = [](const char* name, double v) { std::printf("  %s: %s\n", name, exactNumber(v).c_str()); };
    text("crsName", g.crsName);
    text("crsText2", g.crsText2);
    text("geodeticDatum", g.geodeticDatum);
    text("verticalDatum", g.verticalDatum);
    text("mapProjection", g.mapProjection);
    text("mapZone", g.mapZone);
    num("longitude", g.longitude);
    num("latitude", g.latitude);
    num("altitude", g.altitude);
    num("rotation", g.rotation);
    std::printf("  locationFlags: %d\n", static_cast<int>(g.locationFlags));
    num("surveyEasting", g.surveyEasting);
    num("surveyNorthing", g.surveyNorthing);
    num("surveyHeight", g.surveyHeight);
    num("xAxisAbscissa", g.xAxisAbscissa);
    num("xAxisOrdinate", g.xAxisOrdinate);
    num("scale", g.scale);
    num("surveyExtra1", g.surveyExtra1);
    num("surveyExtra2", g.surveyExtra2);
}

}  // namespace

int cmdModel(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uzycie: geodraft model PROJEKT\n");
        return 2;
    }
    model::ModelState state;
    model::ProjectFileStatus status = model::loadProjectFile(argv[1], state);
    if (!status.ok) {
        std::fprintf(stderr, "%s\n", status.error.c_str());
        return 1;
    }
    std::printf("Projekt: %s\n", argv[1]);
    auto layers = state.attributes.find(host::kAttrLayer);
    std::printf("Warstwy: %zu\n", layers == state.attributes.end() ? std::size_t{0} : layers->second.size());
    printElements(state);
    printGeoLocation(state);
    std::printf("Zaznaczone elementy: %zu\n", state.selection.size());
    return 0;
}
