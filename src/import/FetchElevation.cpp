// Terrain and contours from the elevation model: sheets from the national index through the download cache.
#include "import/FetchElevation.h"

#include "import/FetchContext.h"
#include "net/TileIndex.h"
#include "terrain/ElevationFetch.h"

namespace importer {

namespace {

// The sheets of the elevation-model index and their texts through the cache.
// `indexAnswered` tells afterwards whether the index answered at all.
terrain::ElevationSheetSource nmtSheets(net::WfsClient& client, bool& indexAnswered) {
    terrain::ElevationSheetSource source;
    indexAnswered = true;
    source.findSheets = [&client, &indexAnswered](const geodesy::Bbox& frame) {
        std::vector<std::string> urls;
        for (net::ElevationTile& tile : net::findNmtTiles(client, frame, indexAnswered))
            urls.push_back(std::move(tile.url));
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

// An index that did not answer is a failure of the service, not a place without data.
void noteSilentIndex(FetchContext& ctx, bool indexAnswered, const char* what) {
    if (!indexAnswered)
        ctx.addWarning(std::string(what) + ": skorowidz NMT nie odpowiada - dane wysokosciowe nie zostaly pobrane.");
}

}  // namespace

void fetchElevationGroup(FetchContext& ctx) {
    bool indexAnswered = true;
    terrain::TerrainBuildResult built =
        terrain::fetchTerrain(ctx.frame, ctx.terrainStep, nmtSheets(ctx.client, indexAnswered), labelledProgress(ctx));
    ctx.result.terrain = std::move(built.patches);
    for (const std::string& note : built.notes) ctx.addWarning(note);
    noteSilentIndex(ctx, indexAnswered, "Teren");
}

void fetchContoursGroup(FetchContext& ctx) {
    terrain::ContourRequest request;
    request.frame = ctx.frame;
    request.terrainStep = ctx.terrainStep;
    request.interval = ctx.poziomiceCiecie;
    request.smooth = ctx.smoothContours;
    const terrain::CancelQuery cancel = [&ctx]() { return ctx.cancelled(); };
    bool indexAnswered = true;
    terrain::ContourBuildResult built =
        terrain::fetchContours(request, nmtSheets(ctx.client, indexAnswered), cancel, labelledProgress(ctx));
    // A cancelled trace leaves nothing half-done in the result.
    if (!built.cancelled) ctx.result.contours = std::move(built.lines);
    for (const std::string& note : built.notes) ctx.addWarning(note);
    noteSilentIndex(ctx, indexAnswered, "Poziomice");
    ctx.addWarning(built.summary);
}

}  // namespace importer
