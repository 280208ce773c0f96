#include "import/FetchUtilities.h"

#include <string>
#include <vector>

#include "import/FetchContext.h"
#include "import/RasterFetch.h"
#include "import/TileLossNote.h"
#include "net/Capabilities.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/ServiceRegistryLayers.h"
#include "net/WfsLayerFetcher.h"

namespace importer {

namespace {

// Pipe layers of the county WFS, each tagged with its layer name; false when the capabilities failed.
bool fetchPipesFromWfs(FetchContext& ctx, const std::string& wfsUrl, std::vector<gml::GisFeature>& out) {
    const net::HttpResponse caps = net::getCapabilities(ctx.client, wfsUrl, "WFS");
    if (caps.status != 200) return false;
    const geodesy::Bbox& f = ctx.frame;
    for (const std::string& layer : net::selectPipeLayers(caps.body)) {
        net::TiledFetchOutcome outcome;
        std::vector<gml::GisFeature> pipes =
            net::fetchTiledFeatures(ctx.client, wfsUrl, layer, f, formats::DataType::gesut, ctx.progress("GESUT (WFS)"),
                                    true, false, 0, &outcome);
        const std::string note = tileLossNote("GESUT (" + layer + ")", outcome);
        if (!note.empty()) ctx.addWarning(note);
        for (gml::GisFeature& feature : pipes) {
            feature.props["rodzajSieci"] = layer;
            out.push_back(std::move(feature));
        }
    }
    return true;
}

}  // namespace

void fetchUtilitiesGroup(FetchContext& ctx) {
    const net::ServiceUrls county = net::findCountyGesut(ctx.gminaCode());

    bool wfsAnswered = false;
    if (!county.wfsUrl.empty()) {
        std::vector<gml::GisFeature> pipes;
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
        if (fetchThematicRaster(ctx, net::serviceEndpoints().utilityIntegrationWms(), formats::DataType::gesut) > 0)
            ctx.addWarning("GESUT z krajowej integracji (KIUT) jako rastr.");
        return;
    }

    if (fetchThematicRaster(ctx, county.wmsUrl, formats::DataType::gesut) > 0)
        ctx.addWarning("GESUT jako rastr (WMS powiatowy) - brak WFS lub brak przewodow w WFS.");
    else ctx.addWarning("GESUT: powiatowa usluga nie odpowiada.");
}

}  // namespace importer
