#include "geodesy/Epsg.h"
#include "import/FetchGroups.h"
#include "import/RasterFetch.h"
#include "net/ServiceEndpoints.h"

namespace {
constexpr double kOrthophotoMetresPerPixel = 0.25;
}

void fetchOrthoGroup(FetchContext& ctx) {
    const int epsg = ctx.fetchEpsg >= geodesy::kEpsgPl2000Zone5 && ctx.fetchEpsg <= geodesy::kEpsgPl1992
                         ? ctx.fetchEpsg
                         : geodesy::kEpsgPl1992;
    if (fetchRaster(ctx, net::serviceEndpoints().orthophotoWms(), "Raster", kOrthophotoMetresPerPixel, DataType::rastry,
                    epsg) == 0)
        ctx.addWarning("Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}
