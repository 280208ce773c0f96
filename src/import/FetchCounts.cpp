#include "import/FetchCounts.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "import/LayerTable.h"
#include "settings/DataTypes.h"

namespace importer {

namespace {

void increment(nlohmann::json& counts, const std::string& name) {
    if (!counts.contains(name)) counts[name] = 0;
    counts[name] = counts[name].get<long long>() + 1;
}

}  // namespace

nlohmann::json countFetchedData(const FetchedData& data) {
    nlohmann::json counts = nlohmann::json::object();
    for (const gml::GisFeature& f : data.features) increment(counts, settings::dataTypeKey(f.type));
    for (const RasterImage& r : data.rasters)
        increment(counts, std::string(settings::dataTypeKey(r.type)) + " (rastr)");
    // Layers sharing a list (2D and 3D contours) share its label and its number.
    for (const PageLayer& layer : pageLayers()) {
        if (layer.countLabel == nullptr) continue;
        if (const std::size_t n = layer.count(data)) counts[layer.countLabel] = static_cast<long long>(n);
    }
    return counts;
}

bool fetchedNothing(const FetchedData& d) {
    return d.features.empty() && d.rasters.empty() &&
           std::none_of(pageLayers().begin(), pageLayers().end(),
                        [&](const PageLayer& layer) { return layer.count != nullptr && layer.count(d) > 0; });
}

}  // namespace importer
