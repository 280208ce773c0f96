// Roofs from LiDAR over the LOD1 footprints: flat roofs ("dachychmura") and LOD2 reconstruction ("budynkirekon").
#include "buildings/CloudRoofs.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "lidar/SheetLosses.h"
#include "lidar/SheetPoints.h"
#include "net/LidarResolver.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

// The texts of one branch.
struct CloudBranch {
    const char* layer;         // what the notes about sheets start with
    const char* download;      // progress label of the sheet downloads
    const char* noFootprints;  // warnings
    const char* noSheets;
    const char* emptyCloud;
    const char* foreignZone;  // followed by the count
};

const CloudBranch kRoofs{
    "Dachy z chmury",
    "Dachy z chmury: pobieranie kafli LiDAR",
    "Dachy z chmury: brak obrysow budynkow (Building3D) dla tego kadru - nie ma na czym oprzec dachu.",
    "Dachy z chmury: brak danych LiDAR dla tego obszaru.",
    "Dachy z chmury: chmura pusta w kadrze.",
    "Dachy z chmury: kafle LiDAR sa w obcej strefie (PL-2000) - reprojekcja niezaimplementowana w tym watku, "
    "pominieto ",
};

const CloudBranch kRekon{
    "Rekonstrukcja LOD2",
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
    // Progress by sheets, so it never runs back when the next sheet starts downloading.
    const platform::ProgressCallback progress = ctx.progress(texts.download);
    const auto keepGoing = [&ctx](std::int64_t, std::int64_t) { return !ctx.cancelled(); };
    int foreign = 0;
    lidar::SheetLosses losses;
    const int n = static_cast<int>(tiles.size());
    for (int i = 0; i < n; ++i) {
        const net::LidarTile& tile = tiles[static_cast<std::size_t>(i)];
        if (tile.epsg >= 2176 && tile.epsg <= 2179) {
            ++foreign;
            continue;
        }
        if (ctx.cancelled()) return false;
        progress(i, n);
        const std::string name = tile.godlo.empty() ? "nr " + std::to_string(i + 1) : tile.godlo;
        std::string error;
        const std::string path = resolver.download(tile, keepGoing, &error);
        if (path.empty()) {
            if (ctx.cancelled()) return false;
            losses.notDownloaded(name, error);
            continue;
        }
        const lidar::SheetRead read = lidar::readSheetPoints(
            path, tile.epsg, ctx.frame, [&cloud](const formats::CloudPoint& p) { cloud.points.push_back(p); },
            lidar::SheetReadOptions{.progress = keepGoing});
        if (read.cancelled) return false;
        if (read.usable) ++cloud.sheets;
        if (!losses.record(name, read)) net::LidarResolver::discard(path);
    }
    progress(n, n);
    if (foreign > 0) ctx.addWarning(texts.foreignZone + platform::cformat("%d", foreign));
    const std::size_t read = tiles.size() - static_cast<std::size_t>(foreign);
    if (cloud.sheets == 0 && read > 0) {
        // A failure, not an empty frame: every sheet is named with what went wrong.
        ctx.addWarning(std::string(texts.layer) + ": nie udalo sie odczytac zadnego kafla LiDAR - " +
                       losses.describe(read) + ".");
        return false;
    }
    if (!losses.empty()) ctx.addWarning(std::string(texts.layer) + ": dane niepelne - " + losses.describe(read) + ".");
    if (cloud.points.empty()) {
        ctx.addWarning(texts.emptyCloud);
        return false;
    }
    return true;
}

// Footprints that no cloud point came near.
int withoutPoints(const std::vector<buildings::RoofFitResult>& results) {
    int n = 0;
    for (const buildings::RoofFitResult& r : results) n += r.withoutPoints ? 1 : 0;
    return n;
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
        ctx.result.roofsCloud.push_back(
            buildings::roofFromCloud(footprints[static_cast<std::size_t>(i)], cloud.points, index, ground));
    }
    ctx.addWarning("Dachy z chmury: " + platform::cformat("%d", cloud.sheets) + " kafli, " +
                   platform::cformat("%zu", cloud.points.size()) + " pkt, " + platform::cformat("%d", total) +
                   " obrysow.");
    if (const int alone = withoutPoints(ctx.result.roofsCloud))
        ctx.addWarning("Dachy z chmury: " + platform::cformat("%d", alone) +
                       " obrysow bez punktow LiDAR - dach 3 m nad terenem, oznaczony do poprawy.");
}

void fetchReconstructionGroup(FetchContext& ctx) {
    FrameCloud cloud;
    if (!loadFrameCloud(ctx, kRekon, cloud)) return;
    const platform::ProgressCallback progress = ctx.progress("Rekonstrukcja LOD2: dopasowanie");
    ctx.result.buildingsRekon = buildings::reconstructFootprints(
        ctx.result.buildings3d, cloud.points, [&progress](int done, int total) { progress(done, total); },
        [&ctx]() { return ctx.cancelled(); });
    ctx.addWarning(buildings::reconstructionSummary(cloud.sheets, cloud.points.size(), ctx.result.buildingsRekon));
    if (const int alone = withoutPoints(ctx.result.buildingsRekon))
        ctx.addWarning("Rekonstrukcja LOD2: " + platform::cformat("%d", alone) +
                       " budynkow bez punktow LiDAR - bryly z modelu LOD1 na terenie, oznaczone do poprawy.");
}

}  // namespace importer
