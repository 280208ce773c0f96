#include "import/RasterFetch.h"

#include "import/FetchGroups.h"

HttpResponse getCapabilities(WfsClient&, const std::string&, const std::string&) { return {}; }
int chooseRasterEpsg(int, std::string_view) { return 2180; }
RasterTilePlan planRasterTiles(double, double, double) { return {}; }
bool isRasterImage(std::string_view) { return false; }
int fetchRaster(WfsClient&, const Bbox&, const std::string&, const std::string&, double, DataType, int, FetchedData&,
                const std::function<void(const std::string&)>&) {
    return 0;
}
int fetchRaster(FetchContext& ctx, const std::string& wmsUrl, const std::string& layers, double metresPerPixel,
                DataType type, int epsg) {
    return fetchRaster(ctx.client, ctx.frame, wmsUrl, layers, metresPerPixel, type, epsg, ctx.result, ctx.reportLine);
}
