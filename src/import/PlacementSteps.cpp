#include "import/PlacementSteps.h"

#include <string>

#include "import/LayerTable.h"
#include "import/PlacementContext.h"
#include "import/PlacementMakers.h"

namespace importer {

using formats::DataType;
using gml::GisFeature, gml::GisPolygon;

namespace {

template <auto Member>
bool hasEntries(const FetchedData& d) {
    return !(d.*Member).empty();
}

}  // namespace

const std::vector<PlacementStep>& placementSteps() {
    static const std::vector<PlacementStep> steps = [] {
        // Rasters and 2D objects of every layer come first; then each layer's own kind, in table order.
        std::vector<PlacementStep> all = {
            {1, "rastry", hasEntries<&FetchedData::rasters>, importer::placeRasters},
            {2, "obiekty 2D", hasEntries<&FetchedData::features>, importer::placeFeatures},
        };
        for (const PageLayer& layer : pageLayers())
            if (layer.step != nullptr)
                all.push_back({static_cast<int>(all.size()) + 1, layer.step, layer.hasData, layer.make});
        return all;
    }();
    return steps;
}

host::HostError runPlacementSteps(PlacementContext& context) {
    for (const PlacementStep& step : placementSteps()) {
        if (!step.hasData(context.data)) continue;
        if (!step.make) {
            // Fetched but not placeable yet: say so rather than dropping the data silently.
            context.note(std::string("Nie wstawiono: ") + step.what + " (wstawianie jeszcze niedostepne).");
            continue;
        }
        if (const host::HostError e = step.make(context)) return e;
    }
    return host::kHostOk;
}

}  // namespace importer
