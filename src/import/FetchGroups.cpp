#include "import/FetchGroups.h"

#include <algorithm>

#include "geodesy/Epsg.h"
#include "import/FetchContext.h"
#include "import/LayerTable.h"
#include "import/PlanningActs.h"
#include "import/RasterFetch.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/WfsLayerFetcher.h"

namespace importer {

namespace {

constexpr double kOrthophotoMetresPerPixel = 0.25;

bool groupWanted(const FetchContext& ctx, FetchGroup group) {
    return std::any_of(pageLayers().begin(), pageLayers().end(), [&](const PageLayer& layer) {
        return ctx.wants(layer.key) && std::find(layer.groups.begin(), layer.groups.end(), group) != layer.groups.end();
    });
}

}  // namespace

void runFetchGroups(FetchContext& ctx) {
    net::WfsLayerFetcher fetcher(ctx.client);
    ctx.layerFetcher = &fetcher;
    ctx.result.buildings3dRequested = ctx.wants("budynki3d");
    for (FetchGroup group : fetchGroupOrder()) {
        if (!groupWanted(ctx, group)) continue;
        // After a cancel every later request would fail at once; the groups' own "no answer" notes
        // would then blame the services.
        if (ctx.cancelled()) {
            ctx.addWarning("Pobieranie anulowane - pozostale warstwy pominiete.");
            break;
        }
        group(ctx);
    }
    ctx.layerFetcher = nullptr;
}

void fetchPlanningGroup(FetchContext& ctx) {
    const std::string code = ctx.gminaCode();
    if (code.empty()) {
        ctx.addWarning("MPZP/POG pominiete: nie udalo sie ustalic gminy (TERYT) dla widoku.");
        return;
    }
    if (ctx.wants("pog")) fetchGeneralPlan(ctx, code);
    if (ctx.wants("mpzp")) fetchLocalPlans(ctx, code);
}

void fetchBaseMapGroup(FetchContext& ctx) {
    const net::ServiceUrls county = net::findCountyBdot500(ctx.gminaCode());
    if (county.wmsUrl.empty()) {
        ctx.addWarning("BDOT500: powiat nie publikuje uslugi w EZiU.");
        return;
    }
    if (fetchThematicRaster(ctx, county.wmsUrl, formats::DataType::bdot500) == 0)
        ctx.addWarning("BDOT500: usluga WMS nie odpowiada.");
}

void fetchOrthoGroup(FetchContext& ctx) {
    const int epsg = ctx.fetchEpsg >= geodesy::kEpsgPl2000Zone5 && ctx.fetchEpsg <= geodesy::kEpsgPl1992
                         ? ctx.fetchEpsg
                         : geodesy::kEpsgPl1992;
    if (fetchRaster(ctx, net::serviceEndpoints().orthophotoWms(), "Raster", kOrthophotoMetresPerPixel,
                    formats::DataType::rastry, epsg) == 0)
        ctx.addWarning("Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}

}  // namespace importer
