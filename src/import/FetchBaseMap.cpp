#include "import/FetchGroups.h"
#include "import/RasterFetch.h"
#include "net/ServiceRegistry.h"

void fetchBaseMapGroup(FetchContext& ctx) {
    const net::ServiceUrls county = net::findCountyBdot500(ctx.gminaCode());
    if (county.wmsUrl.empty()) {
        ctx.addWarning("BDOT500: powiat nie publikuje uslugi w EZiU.");
        return;
    }
    if (fetchThematicRaster(ctx, county.wmsUrl, DataType::bdot500) == 0)
        ctx.addWarning("BDOT500: usluga WMS nie odpowiada.");
}
