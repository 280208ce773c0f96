#include <string>
#include <vector>

#include "formats/gml/GmlParser.h"
#include "import/FetchGroups.h"
#include "import/RasterFetch.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/ServiceRegistryLayers.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParser;

namespace {

// Pipe layers of the county WFS, each tagged with its layer name; false when the capabilities failed.
bool fetchPipesFromWfs(FetchContext& ctx, const std::string& wfsUrl, std::vector<GisFeature>& out) {
    const HttpResponse caps = getCapabilities(ctx.client, wfsUrl, "WFS");
    if (caps.status != 200) return false;
    const Bbox& f = ctx.frame;
    for (const std::string& layer : selectPipeLayers(caps.body)) {
        const std::string gml = ctx.client.fetchWfsTiled(wfsUrl, layer, f.minE, f.minN, f.maxE, f.maxN,
                                                         ctx.progress("GESUT (WFS)"), true, false, 0);
        for (GisFeature& feature : GmlParser::parseFeatureCollection(gml, DataType::gesut)) {
            feature.props["rodzajSieci"] = layer;
            out.push_back(std::move(feature));
        }
    }
    return true;
}

}  // namespace

void fetchUtilitiesGroup(FetchContext& ctx) {
    const ServiceUrls county = findCountyGesut(ctx.gminaCode());

    bool wfsAnswered = false;
    if (!county.wfsUrl.empty()) {
        std::vector<GisFeature> pipes;
        wfsAnswered = fetchPipesFromWfs(ctx, county.wfsUrl, pipes);
        if (!pipes.empty()) {
            auto& features = ctx.result.features;
            features.insert(features.end(), std::make_move_iterator(pipes.begin()),
                            std::make_move_iterator(pipes.end()));
            return;
        }
    }

    if (county.wmsUrl.empty()) {
        if (!county.wfsUrl.empty()) {
            // Without a drawing service an empty answer would otherwise pass in silence.
            ctx.addWarning(wfsAnswered ? "GESUT: brak przewodow w WFS powiatu dla tego obszaru."
                                       : "GESUT: powiatowa usluga nie odpowiada.");
            return;
        }
        ctx.addWarning("GESUT: powiat nie publikuje uslugi w EZiU.");
        // Most counties publish nothing of their own; the national integration service draws their networks.
        if (fetchThematicRaster(ctx, serviceEndpoints().utilityIntegrationWms(), DataType::gesut) > 0)
            ctx.addWarning("GESUT z krajowej integracji (KIUT) jako rastr.");
        return;
    }

    if (fetchThematicRaster(ctx, county.wmsUrl, DataType::gesut) > 0)
        ctx.addWarning("GESUT jako rastr (WMS powiatowy) - brak WFS lub brak przewodow w WFS.");
    else ctx.addWarning("GESUT: powiatowa usluga nie odpowiada.");
}
