// Terrain, water and contours of a fetch from LiDAR: the sheets of the frame reduced one by one into one height grid
// shared by the three layers.
#include <algorithm>
#include <thread>
#include <vector>

#include "formats/CloudPoint.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "lidar/SheetLosses.h"
#include "lidar/SheetPoints.h"
#include "net/LidarResolver.h"
#include "platform/Numbers.h"
#include "terrain/CloudTerrainBuilder.h"
#include "terrain/CloudTerrainGrid.h"
#include "terrain/CloudTerrainOutputs.h"

namespace importer {

namespace {

// What the sheets gave.
struct CloudSample {
    std::uint64_t groundRead = 0;  // class-2 points read, inside the frame or not
    std::size_t sheets = 0;        // sheets read
    lidar::SheetLosses losses;
};

// Reads every sheet into the grid; a sheet that did not come whole is named in the losses and its area marked.
CloudSample readSheets(FetchContext& ctx, const std::vector<net::LidarTile>& tiles,
                       terrain::CloudTerrainBuilder& builder) {
    CloudSample sample;
    const net::LidarResolver resolver(&ctx.client);
    const platform::ProgressCallback progress = ctx.progress("Teren z chmury: LiDAR");
    lidar::SheetReadOptions options;
    options.threads = std::max(1u, std::thread::hardware_concurrency());
    options.progress = [&ctx](std::int64_t, std::int64_t) { return !ctx.cancelled(); };
    const int n = static_cast<int>(tiles.size());
    for (int i = 0; i < n; ++i) {
        if (ctx.cancelled()) return sample;
        progress(i, n);
        const net::LidarTile& tile = tiles[static_cast<std::size_t>(i)];
        const std::string name = tile.godlo.empty() ? "nr " + std::to_string(i + 1) : tile.godlo;
        std::string error;
        const std::string path = resolver.download(
            tile, [&ctx](std::int64_t, std::int64_t) { return !ctx.cancelled(); }, &error);
        bool whole = false;
        if (path.empty()) {
            if (ctx.cancelled()) return sample;
            sample.losses.notDownloaded(name, error);
        } else {
            const lidar::SheetRead read = lidar::readSheetPoints(
                path, tile.epsg, ctx.frame, [&builder](const formats::CloudPoint& p) { builder.add(p); }, options);
            if (read.cancelled) return sample;
            sample.groundRead += read.groundRead;
            if (read.usable) ++sample.sheets;
            whole = sample.losses.record(name, read);
            if (!whole) net::LidarResolver::discard(path);
        }
        if (whole) continue;
        if (tile.outline.width() > 0.0 && tile.outline.height() > 0.0) builder.markLost(tile.outline);
        else builder.markLostEverywhere();
    }
    progress(n, n);
    return sample;
}

}  // namespace

void fetchCloudTerrainGroup(FetchContext& ctx) {
    const bool withWater = ctx.wants("wodachmura");
    // Notes about the sheets carry the name of the layer the user sees first.
    const std::string layer =
        ctx.wants("terenchmura") || ctx.wants("poziomicechmura") ? "Teren z chmury" : "Woda z chmury";
    std::string stepWarning;
    const double step = terrain::cloudTerrainStep(ctx.frame, ctx.cloudTerrainStep, stepWarning);
    ctx.addWarning(stepWarning);

    const net::LidarResolver resolver(&ctx.client);
    const std::vector<net::LidarTile> tiles = resolver.findTiles(ctx.frame);
    if (tiles.empty()) {
        ctx.addWarning("Teren z chmury: brak kafli LiDAR dla tego obszaru w skorowidzu.");
        return;
    }
    terrain::CloudTerrainBuilder builder(ctx.frame, step, withWater);
    const CloudSample sample = readSheets(ctx, tiles, builder);
    if (ctx.cancelled()) return;
    if (sample.sheets == 0) {
        // A failure, not an empty frame: every sheet is named with what went wrong.
        ctx.addWarning(layer + ": nie udalo sie odczytac zadnego kafla LiDAR - " +
                       sample.losses.describe(tiles.size()) + ".");
        return;
    }
    if (!sample.losses.empty())
        ctx.addWarning(layer + ": dane niepelne - " + sample.losses.describe(tiles.size()) +
                       ". Komorek bez odbic na tych kaflach nie uzupelniono ani nie uznano za wode.");
    const bool water = withWater && builder.waterPoints() > 0;
    if (builder.groundPoints() == 0) {
        ctx.addWarning("Teren z chmury: brak punktow gruntu (klasa 2) w kadrze.");
        if (!water) return;  // a frame wholly over water still gets its water surface
    }

    terrain::CloudTerrainGrid grid = builder.finish();
    ctx.addWarning("Teren z chmury: " + std::to_string(sample.sheets) + " kafli, " + std::to_string(sample.groundRead) +
                   " pkt gruntu (klasa 2)" + ", krok " + platform::cformat("%g", grid.step) + " m, komorek " +
                   std::to_string(grid.filledCells) +
                   (withWater ? ", woda(kl.9) komorek " + std::to_string(grid.waterPointCells) : std::string()) +
                   (grid.approximateCells > 0
                        ? ", mediana przyblizona w " + std::to_string(grid.approximateCells) + " komorkach"
                        : std::string()));
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
