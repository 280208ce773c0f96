#include "import/FetchGroups.h"
#include "import/RasterFetch.h"
#include "net/ServiceRegistry.h"

using formats::DataType;

void fetchBaseMapGroup(FetchContext& ctx) {
    const ServiceUrls county = findCountyBdot500(ctx.gminaCode());
    if (county.wmsUrl.empty()) {
        ctx.addWarning("BDOT500: powiat nie publikuje uslugi w EZiU.");
        return;
    }
    if (fetchThematicRaster(ctx, county.wmsUrl, DataType::bdot500) == 0)
        ctx.addWarning("BDOT500: usluga WMS nie odpowiada.");
}
