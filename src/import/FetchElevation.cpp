// Terrain and contours from the elevation model: sheets from the national index through the download cache.
#include "import/FetchElevation.h"

#include "import/FetchContext.h"
#include "net/TileIndex.h"
#include "terrain/ElevationFetch.h"

namespace importer {

namespace {

// The sheets of the elevation-model index and their texts through the cache.
terrain::ElevationSheetSource nmtSheets(net::WfsClient& client) {
    terrain::ElevationSheetSource source;
    source.findSheets = [&client](const geodesy::Bbox& frame) {
        std::vector<std::string> urls;
        for (net::ElevationTile& tile : net::findNmtTiles(client, frame)) urls.push_back(std::move(tile.url));
        return urls;
    };
    source.download = [&client](const std::string& url) -> std::optional<std::string> {
        std::string text = client.getCachedText(url, net::kCachedTextTimeoutMs, net::AnswerKind::gridText);
        if (text.empty()) return std::nullopt;
        return text;
    };
    return source;
}

// Progress of the terrain branches under the label each phase names.
terrain::FetchProgress labelledProgress(const FetchContext& ctx) {
    return [&ctx](const std::string& phase, int done, int total) { ctx.progress(phase)(done, total); };
}

}  // namespace

void fetchElevationGroup(FetchContext& ctx) {
    terrain::TerrainBuildResult built =
        terrain::fetchTerrain(ctx.frame, ctx.terrainStep, nmtSheets(ctx.client), labelledProgress(ctx));
    ctx.result.terrain = std::move(built.patches);
    for (const std::string& note : built.notes) ctx.addWarning(note);
}

void fetchContoursGroup(FetchContext& ctx) {
    terrain::ContourRequest request;
    request.frame = ctx.frame;
    request.terrainStep = ctx.terrainStep;
    request.interval = ctx.poziomiceCiecie;
    request.smooth = ctx.smoothContours;
    const terrain::CancelQuery cancel = [&ctx]() { return ctx.cancelled(); };
    terrain::ContourBuildResult built =
        terrain::fetchContours(request, nmtSheets(ctx.client), cancel, labelledProgress(ctx));
    // A cancelled trace leaves nothing half-done in the result.
    if (!built.cancelled) ctx.result.contours = std::move(built.lines);
    for (const std::string& note : built.notes) ctx.addWarning(note);
    ctx.addWarning(built.summary);
}

}  // namespace importer
