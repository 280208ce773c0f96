// Terrain, water and contours of a fetch from LiDAR: the sheets of the frame, their ground and water points,
// one height grid shared by the three layers.
#include <algorithm>
#include <thread>
#include <vector>

#include "formats/CloudPoint.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "lidar/SheetPoints.h"
#include "net/LidarResolver.h"
#include "platform/Numbers.h"
#include "terrain/CloudTerrainGrid.h"
#include "terrain/CloudTerrainOutputs.h"

namespace importer {

namespace {

using lidar::kGroundClass, lidar::kWaterClass;

struct CloudSample {
    std::vector<formats::CloudPoint> ground, water;
    std::uint64_t groundRead = 0;  // class-2 points read, inside the frame or not
    std::size_t sheets = 0;        // sheets read
};

// Reads one sheet's ground (and, when wanted, water) points inside the frame, converted to PL-1992.
bool readSheet(const std::string& path, int epsg, const geodesy::Bbox& frame, bool withWater, CloudSample& into) {
    lidar::SheetReadOptions options;
    options.threads = std::max(1u, std::thread::hardware_concurrency());
    options.classes = {kGroundClass};
    if (withWater) options.classes.push_back(kWaterClass);
    const lidar::SheetRead read = lidar::readSheetPoints(
        path, epsg, frame,
        [&into](const formats::CloudPoint& p) {
            (p.classification == kGroundClass ? into.ground : into.water).push_back(p);
        },
        options);
    into.groundRead += read.groundRead;
    return read.usable;
}

}  // namespace

void fetchCloudTerrainGroup(FetchContext& ctx) {
    const bool withWater = ctx.wants("wodachmura");
    std::string stepWarning;
    const double step = terrain::cloudTerrainStep(ctx.frame, ctx.cloudTerrainStep, stepWarning);
    ctx.addWarning(stepWarning);

    const net::LidarResolver resolver(&ctx.client);
    const std::vector<net::LidarTile> tiles = resolver.findTiles(ctx.frame);
    if (tiles.empty()) {
        ctx.addWarning("Teren z chmury: brak kafli LiDAR dla tego obszaru w skorowidzu.");
        return;
    }
    CloudSample sample;
    const platform::ProgressCallback progress = ctx.progress("Teren z chmury: LiDAR");
    const int n = static_cast<int>(tiles.size());
    for (int i = 0; i < n; ++i) {
        if (ctx.cancelled()) return;
        progress(i, n);
        const std::string path = resolver.download(tiles[static_cast<std::size_t>(i)],
                                                   [&ctx](std::int64_t, std::int64_t) { return !ctx.cancelled(); });
        if (path.empty()) continue;
        if (readSheet(path, tiles[static_cast<std::size_t>(i)].epsg, ctx.frame, withWater, sample)) ++sample.sheets;
    }
    progress(n, n);
    if (ctx.cancelled()) return;
    if (sample.ground.empty()) {
        ctx.addWarning("Teren z chmury: brak punktow gruntu (klasa 2) w kadrze.");
        return;
    }

    terrain::CloudTerrainGrid grid =
        terrain::buildCloudTerrainGrid(sample.ground, ctx.frame, step, sample.water, withWater);
    std::vector<formats::CloudPoint>().swap(sample.ground);  // the points are no longer needed
    std::vector<formats::CloudPoint>().swap(sample.water);
    ctx.addWarning("Teren z chmury: " + std::to_string(sample.sheets) + " kafli, " + std::to_string(sample.groundRead) +
                   " pkt gruntu (klasa 2)" + ", krok " + platform::cformat("%g", grid.step) + " m, komorek " +
                   std::to_string(grid.filledCells) +
                   (withWater ? ", woda(kl.9) komorek " + std::to_string(grid.waterPointCells) : std::string()));
    if (grid.filledCells == 0) {
        ctx.addWarning("Teren z chmury: brak waznych komorek w kadrze.");
        return;
    }

    if (ctx.wants("terenchmura")) ctx.result.terrainCloud = terrain::cloudGroundPatches(grid);
    if (ctx.wants("poziomicechmura")) {
        terrain::ContourBuildResult contours = terrain::cloudContours(
            grid, ctx.poziomiceCiecie, ctx.smoothContours, [&ctx]() { return ctx.cancelled(); },
            ctx.progress("Poziomice z chmury"));
        if (!contours.cancelled) ctx.result.contoursCloud = std::move(contours.lines);
        for (const std::string& note : contours.notes) ctx.addWarning(note);
        ctx.addWarning(contours.summary);
    }
    if (withWater) {
        ctx.result.waterCloud = terrain::cloudWaterPatches(grid);
        ctx.addWarning(grid.waterCells > 0
                           ? "Woda z chmury: " + std::to_string(grid.waterCells) + " komorek, poziom lustra " +
                                 platform::cformat("%.2f", grid.waterLevel) + " m n.p.m."
                           : std::string("Woda z chmury: brak komorek wody w kadrze."));
    }
}

}  // namespace importer
