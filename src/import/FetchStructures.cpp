// Buildings from the normalised surface model, and bridges and roads along OpenStreetMap ways.
#include <algorithm>
#include <cmath>
#include <optional>

#include "buildings/Corridor.h"
#include "buildings/SurfaceModelBuilding.h"
#include "formats/grid/AsciiGrid.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "net/OverpassClient.h"
#include "net/TileIndex.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

std::vector<grid::ElevationGrid> readSheets(net::WfsClient& client, const std::vector<net::ElevationTile>& tiles) {
    std::vector<grid::ElevationGrid> grids;
    for (const net::ElevationTile& tile : tiles) {
        const std::string text = client.getCachedText(tile.url, net::kCachedTextTimeoutMs);
        grid::ElevationGrid g;
        if (!text.empty() && grid::parseAsciiGrid(g, text)) grids.push_back(std::move(g));
    }
    return grids;
}

// Loads the pair on first use; the note for the layer's prefix when it is not usable.
std::optional<std::string> elevationPairNote(FetchContext& ctx, const std::string& prefix) {
    using State = FetchContext::PairState;
    if (ctx.elevationPairState == State::NotLoaded) {
        const std::vector<net::ElevationTile> surface = net::findNmptTiles(ctx.client, ctx.frame);
        const std::vector<net::ElevationTile> terrain = net::findNmtTiles(ctx.client, ctx.frame);
        if (surface.empty() || terrain.empty()) {
            ctx.elevationPairState = State::NoCoverage;
        } else {
            ctx.elevationPair =
                buildings::ElevationPair(readSheets(ctx.client, surface), readSheets(ctx.client, terrain));
            ctx.elevationPairState = ctx.elevationPair.empty() ? State::Unreadable : State::Loaded;
        }
    }
    if (ctx.elevationPairState == State::NoCoverage) return prefix + ": brak pokrycia nMPT lub NMT dla tego kadru.";
    if (ctx.elevationPairState == State::Unreadable) return prefix + ": nie udalo sie sparsowac kafli nMPT/NMT.";
    return std::nullopt;
}

std::string count(std::size_t n) { return platform::cformat("%zu", n); }

}  // namespace

void fetchNdsmBuildingsGroup(FetchContext& ctx) {
    if (const auto note = elevationPairNote(ctx, "Budynki (nMPT)")) {
        ctx.addWarning(*note);
        return;
    }
    const auto& footprints = ctx.result.buildings3d;
    const platform::ProgressCallback progress = ctx.progress("Budynki (nMPT): dopasowanie");
    const int total = static_cast<int>(footprints.size());
    for (int i = 0; i < total; ++i) {
        if (ctx.cancelled()) break;
        progress(i + 1, total);
        ctx.result.buildingsNdsm.push_back(buildings::buildingFromSurfaceModel(
            buildings::openFootprint(footprints[static_cast<std::size_t>(i)]), ctx.elevationPair));
    }
    ctx.addWarning("Budynki nMPT: " + count(ctx.result.buildingsNdsm.size()) + " obrysow.");
}

void fetchBridgesRoadsGroup(FetchContext& ctx) {
    const bool bridges = ctx.wants("mosty"), roads = ctx.wants("drogi");
    std::string error;
    const std::vector<net::OsmWay> ways = net::queryOsmWays(ctx.client, ctx.frame, bridges, roads, error);
    if (!error.empty()) {
        ctx.addWarning(error);
        return;
    }
    if (!ways.empty()) {
        if (const auto note = elevationPairNote(ctx, "Mosty/drogi")) {
            ctx.addWarning(*note);
            return;
        }
    }
    // All corridors together stay within the quad budget: over a large frame the lattice is coarsened for all.
    double area = 0.0;
    for (const net::OsmWay& way : ways) {
        if (!(way.bridge && bridges) && !roads) continue;
        for (std::size_t k = 1; k < way.points.size(); ++k)
            area += std::hypot(way.points[k].x - way.points[k - 1].x, way.points[k].y - way.points[k - 1].y) *
                    std::max(0.0, way.width);
    }
    const double baseCell = buildings::CorridorSettings{}.cell;
    const double cell = buildings::corridorCellFor(area, baseCell);
    if (cell > baseCell)
        ctx.addWarning("Mosty/drogi: korytarze o powierzchni ok. " + platform::cformat("%.0f", area) +
                       " m2 - krata korytarzy zgrubiona do " + platform::cformat("%.2f", cell) + " m (limit " +
                       std::to_string(buildings::kCorridorCellBudget) + " komorek).");
    std::size_t used = 0;
    const platform::ProgressCallback progress = ctx.progress("Mosty/drogi: korytarze");
    const int total = static_cast<int>(ways.size());
    for (int i = 0; i < total; ++i) {
        if (ctx.cancelled()) break;
        progress(i + 1, total);
        const net::OsmWay& way = ways[static_cast<std::size_t>(i)];
        const bool asBridge = way.bridge && bridges;
        if (!asBridge && !roads) continue;
        const std::vector<double> half(way.points.size(), way.width * 0.5);
        const auto polygon = buildings::corridorPolygon(way.points, half, half, false);
        buildings::CorridorSettings settings =
            asBridge ? buildings::CorridorSettings::bridge() : buildings::CorridorSettings::road(ctx.frame);
        settings.cell = cell;
        settings.maxCells = buildings::kCorridorCellBudget - std::min(used, buildings::kCorridorCellBudget);
        // A road over a bridge keeps to the deck when the bridges layer is not asked for, not to the valley below.
        if (way.bridge && !asBridge) settings.onSurface = true;
        buildings::StructureResult surface = buildings::corridorSurface(polygon, ctx.elevationPair, settings);
        if (surface.polygons.empty()) continue;
        if (!surface.fallback) used += surface.polygons.size();
        (asBridge ? ctx.result.bridges : ctx.result.roads).push_back(std::move(surface));
    }
    if (bridges) ctx.addWarning("Mosty (OSM): " + count(ctx.result.bridges.size()) + " w kadrze.");
    if (roads) ctx.addWarning("Drogi (OSM): " + count(ctx.result.roads.size()) + " w kadrze.");
}

}  // namespace importer
