#include "import/RasterPlacement.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "geodesy/Crs.h"

namespace importer {

namespace {

bool isPl2000Zone(int epsg) { return epsg >= kEpsgPl2000Zone5 && epsg <= kEpsgPl2000Zone8; }

// A corner of the tile in the working zone. A tile in another PL-2000 zone goes through PL-1992:
// read as PL-1992 it would land hundreds of kilometres away.
EN toWorkingZone(EN p, int rasterEpsg, int workingEpsg) {
    if (rasterEpsg == workingEpsg) return p;
    if (isPl2000Zone(rasterEpsg)) p = pl2000ToPl1992(p, rasterEpsg);
    return pl1992ToPl2000(p, workingEpsg);
}

}  // namespace

HostError placeRasterPicture(const RasterImage& raster, int workingEpsg, const ProjectTransform& transform,
                             std::int32_t layer) {
    if (raster.image.empty()) return kHostOk;
    PictureElement picture;
    if (HostError e = host().defaultPicture(picture)) return e;

    EN corners[3] = {
        {raster.box.minE, raster.box.minN}, {raster.box.maxE, raster.box.minN}, {raster.box.minE, raster.box.maxN}};
    HostPoint2 p[3];
    try {
        for (int i = 0; i < 3; ++i) {
            const EN zone = toWorkingZone(corners[i], raster.epsg, workingEpsg);
            p[i] = transform.apply(zone.e, zone.n);
        }
    } catch (const std::invalid_argument&) {
        return kHostBadPars;  // a system the conversions do not know
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
        return kHostOutOfMemory;
    }
    ElementId id;
    return host().createPicture(picture, id);
}

}  // namespace importer
