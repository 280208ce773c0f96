// Roofs from LiDAR over the LOD1 footprints: flat roofs ("dachychmura") and LOD2 reconstruction ("budynkirekon").
#include "buildings/CloudRoofs.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "lidar/SheetPoints.h"
#include "net/LidarResolver.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

// The texts of one branch.
struct CloudBranch {
    const char* download;      // progress label of the sheet downloads
    const char* noFootprints;  // warnings
    const char* noSheets;
    const char* emptyCloud;
    const char* foreignZone;  // followed by the count
};

const CloudBranch kRoofs{
    "Dachy z chmury: pobieranie kafli LiDAR",
    "Dachy z chmury: brak obrysow budynkow (Building3D) dla tego kadru - nie ma na czym oprzec dachu.",
    "Dachy z chmury: brak danych LiDAR dla tego obszaru.",
    "Dachy z chmury: chmura pusta w kadrze.",
    "Dachy z chmury: kafle LiDAR sa w obcej strefie (PL-2000) - reprojekcja niezaimplementowana w tym watku, "
    "pominieto ",
};

const CloudBranch kRekon{
    "Rekonstrukcja LOD2: pobieranie kafli LiDAR",
    "Rekonstrukcja LOD2: brak obrysow budynkow (Building3D) dla tego kadru.",
    "Rekonstrukcja LOD2: brak danych LiDAR dla tego obszaru.",
    "Rekonstrukcja LOD2: chmura pusta w kadrze.",
    "Rekonstrukcja LOD2: kafle LiDAR w obcej strefie (PL-2000), pominieto ",
};

struct FrameCloud {
    int sheets = 0;  // sheets read
    std::vector<formats::CloudPoint> points;
};

// The points of the frame from the LiDAR sheets in PL-1992 (or of an unknown system); false, with the warning
// given, when there is nothing to fit to.
bool loadFrameCloud(FetchContext& ctx, const CloudBranch& texts, FrameCloud& cloud) {
    if (ctx.result.buildings3d.empty()) {
        ctx.addWarning(texts.noFootprints);
        return false;
    }
    const net::LidarResolver resolver(&ctx.client);
    const std::vector<net::LidarTile> tiles = resolver.findTiles(ctx.frame);
    if (tiles.empty()) {
        ctx.addWarning(texts.noSheets);
        return false;
    }
    const platform::ProgressCallback progress = ctx.progress(texts.download);
    int foreign = 0;
    for (const net::LidarTile& tile : tiles) {
        if (tile.epsg >= 2176 && tile.epsg <= 2179) {
            ++foreign;
            continue;
        }
        if (ctx.cancelled()) break;
        const std::string path = resolver.download(tile, progress);
        if (path.empty()) continue;
        const lidar::SheetRead read = lidar::readSheetPoints(
            path, tile.epsg, ctx.frame, [&cloud](const formats::CloudPoint& p) { cloud.points.push_back(p); });
        if (read.usable) ++cloud.sheets;
    }
    if (foreign > 0) ctx.addWarning(texts.foreignZone + platform::cformat("%d", foreign));
    if (cloud.points.empty()) {
        ctx.addWarning(texts.emptyCloud);
        return false;
    }
    return true;
}

}  // namespace

void fetchCloudRoofsGroup(FetchContext& ctx) {
    FrameCloud cloud;
    if (!loadFrameCloud(ctx, kRoofs, cloud)) return;
    ctx.progress("Dachy z chmury: model terenu")(0, 1);
    const buildings::TerrainCells ground = buildings::buildTerrainCells(cloud.points);
    const buildings::PointIndex index(cloud.points, 10.0, cloud.points[0].x, cloud.points[0].y);
    const auto& footprints = ctx.result.buildings3d;
    const platform::ProgressCallback progress = ctx.progress("Dachy z chmury: dopasowanie dachow");
    const int total = static_cast<int>(footprints.size());
    for (int i = 0; i < total; ++i) {
        if (ctx.cancelled()) break;
        progress(i + 1, total);
        ctx.result.roofsCloud.push_back(buildings::roofFromCloud(
            buildings::openFootprint(footprints[static_cast<std::size_t>(i)]), cloud.points, index, ground));
    }
    ctx.addWarning("Dachy z chmury: " + platform::cformat("%d", cloud.sheets) + " kafli, " +
                   platform::cformat("%zu", cloud.points.size()) + " pkt, " + platform::cformat("%d", total) +
                   " obrysow.");
}

void fetchReconstructionGroup(FetchContext& ctx) {
    FrameCloud cloud;
    if (!loadFrameCloud(ctx, kRekon, cloud)) return;
    std::vector<std::vector<geodesy::PlanarPoint>> footprints;
    for (const buildings::Building3D& b : ctx.result.buildings3d) footprints.push_back(buildings::openFootprint(b));
    const platform::ProgressCallback progress = ctx.progress("Rekonstrukcja LOD2: dopasowanie");
    ctx.result.buildingsRekon = buildings::reconstructFootprints(
        footprints, cloud.points, [&progress](int done, int total) { progress(done, total); },
        [&ctx]() { return ctx.cancelled(); });
    ctx.addWarning(buildings::reconstructionSummary(cloud.sheets, cloud.points.size(), ctx.result.buildingsRekon));
}

}  // namespace importer
