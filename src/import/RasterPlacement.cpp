#include "import/RasterPlacement.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "geodesy/Crs.h"

namespace importer {

namespace {

bool isPl2000Zone(int epsg) { return geodesy::isPl2000Epsg(epsg); }

// A corner of the tile in the working zone. A tile in another PL-2000 zone goes through PL-1992:
// read as PL-1992 it would land hundreds of kilometres away.
geodesy::PlanarPoint toWorkingZone(geodesy::PlanarPoint p, int rasterEpsg, int workingEpsg) {
    if (rasterEpsg == workingEpsg) return p;
    if (isPl2000Zone(rasterEpsg)) p = geodesy::pl2000ToPl1992(p, rasterEpsg);
    return geodesy::pl1992ToPl2000(p, workingEpsg);
}

}  // namespace

host::HostError placeRasterPicture(const RasterImage& raster, int workingEpsg, const ProjectTransform& transform,
                                   std::int32_t layer) {
    if (raster.image.empty()) return host::kHostOk;
    host::PictureElement picture;
    if (host::HostError e = host::host().defaultPicture(picture)) return e;

    geodesy::PlanarPoint corners[3] = {
        {raster.box.minE, raster.box.minN}, {raster.box.maxE, raster.box.minN}, {raster.box.minE, raster.box.maxN}};
    host::HostPoint2 p[3];
    try {
        for (int i = 0; i < 3; ++i) {
            const geodesy::PlanarPoint zone = toWorkingZone(corners[i], raster.epsg, workingEpsg);
            p[i] = transform.apply(zone.x, zone.y);
        }
    } catch (const std::invalid_argument&) {
        return host::kHostBadPars;  // a system the conversions do not know
    }
    const double width = std::hypot(p[1].x - p[0].x, p[1].y - p[0].y);
    const double height = std::hypot(p[2].x - p[0].x, p[2].y - p[0].y);
    picture.boxMin = p[0];
    picture.boxMax = {p[0].x + width, p[0].y + height};
    picture.angle = std::atan2(p[1].y - p[0].y, p[1].x - p[0].x);
    picture.mimeType = "image/png";
    picture.layer = layer;
    try {
        picture.bytes.assign(raster.image.begin(), raster.image.end());
    } catch (const std::bad_alloc&) {
        return host::kHostOutOfMemory;
    }
    host::ElementId id;
    return host::host().createPicture(picture, id);
}

}  // namespace importer
