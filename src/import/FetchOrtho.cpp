#include "import/FetchGroups.h"
#include "import/RasterFetch.h"
#include "net/ServiceEndpoints.h"

using formats::DataType;

namespace {
constexpr double kOrthophotoMetresPerPixel = 0.25;
}

void fetchOrthoGroup(FetchContext& ctx) {
    const int epsg = ctx.fetchEpsg >= 2176 && ctx.fetchEpsg <= 2180 ? ctx.fetchEpsg : 2180;
    if (fetchRaster(ctx, serviceEndpoints().orthophotoWms(), "Raster", kOrthophotoMetresPerPixel, DataType::rastry,
                    epsg) == 0)
        ctx.addWarning("Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}
