#include "import/FetchCounts.h"

#include <cstddef>
#include <string>

#include "settings/DataTypes.h"

using gml::GisFeature;

namespace {

void addCount(Json& counts, const std::string& name, std::size_t n) {
    if (n == 0) return;
    counts[name] = static_cast<long long>(n);
}

void increment(Json& counts, const std::string& name) {
    if (!counts.contains(name)) counts[name] = 0;
    counts[name] = counts[name].get<long long>() + 1;
}

}  // namespace

Json countFetchedData(const FetchedData& data) {
    Json counts = Json::object();
    for (const GisFeature& f : data.features) increment(counts, dataTypeKey(f.type));
    for (const RasterImage& r : data.rasters) increment(counts, std::string(dataTypeKey(r.type)) + " (rastr)");
    addCount(counts, "teren (Siatka)", data.terrain.size());
    addCount(counts, "teren z chmury (Siatka)", data.terrainCloud.size());
    addCount(counts, "woda z chmury (Siatka)", data.waterCloud.size());
    addCount(counts, "budynki3d", data.buildings3d.size());
    addCount(counts, "budynkilod2", data.buildingsLod2.size());
    addCount(counts, "dachychmura", data.roofsCloud.size());
    addCount(counts, "budynkindsm", data.buildingsNdsm.size());
    addCount(counts, "budynkirekon", data.buildingsRekon.size());
    addCount(counts, "mosty", data.bridges.size());
    addCount(counts, "drogi", data.roads.size());
    addCount(counts, "poziomice (warstwice)", data.contours.size());
    addCount(counts, "poziomice z chmury (warstwice)", data.contoursCloud.size());
    return counts;
}

bool fetchedNothing(const FetchedData& d) {
    return d.features.empty() && d.rasters.empty() && d.terrain.empty() && d.terrainCloud.empty() &&
           d.waterCloud.empty() && d.buildings3d.empty() && d.buildingsLod2.empty() && d.roofsCloud.empty() &&
           d.buildingsNdsm.empty() && d.buildingsRekon.empty() && d.bridges.empty() && d.roads.empty() &&
           d.contours.empty() && d.contoursCloud.empty();
}
