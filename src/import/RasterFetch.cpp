#include "import/RasterFetch.h"

#include <algorithm>
#include <cmath>

#include "geodesy/Crs.h"
#include "import/FetchContext.h"
#include "net/AnswerCheck.h"
#include "net/Capabilities.h"
#include "net/ServiceRegistryLayers.h"
#include "platform/Numbers.h"
#include "settings/DataTypes.h"

namespace importer {

namespace {

// Whole part of a ratio that is meant to be exact (0.28 / 0.00028 must give 1000, not 999).
long long wholePart(double value) { return static_cast<long long>(std::floor(value + 1e-7)); }

int tilesFor(double metres, double metresPerPixel) {
    const double tiles = std::ceil(metres / metresPerPixel / kMaxRasterTilePixels - 1e-9);
    if (!(tiles >= 1.0)) return 1;
    return tiles > 1e6 ? 1000000 : static_cast<int>(tiles);
}

// The frame in the request system: a PL-2000 zone gets the bounding box of the transformed corners.
geodesy::Bbox requestBox(const geodesy::Bbox& frame, int epsg) {
    if (!geodesy::isPl2000Epsg(epsg)) return frame;
    return geodesy::pl1992FrameToPl2000(frame, epsg);
}

// One tile with retries at halved widths; true when an image was accepted.
bool fetchTile(net::WfsClient& client, const std::string& wmsUrl, const std::string& layers, const geodesy::Bbox& tile,
               double metresPerPixel, formats::DataType type, int epsg, FetchedData& result) {
    const double tileW = tile.width(), tileH = tile.height();
    int pixels = static_cast<int>(
        std::min<double>(kMaxRasterTilePixels, std::max<double>(kMinRasterTilePixels, tileW / metresPerPixel)));
    // A tall tile must not ask for more than the side limit in height either.
    const double heightLimited = std::floor(kMaxRasterTilePixels * tileW / tileH);
    if (heightLimited < pixels) pixels = static_cast<int>(std::max(1.0, heightLimited));
    for (int attempt = 0; attempt < kMaxRasterAttempts; ++attempt) {
        // A small frame is still asked for once at its own width; only retries need the 512 px floor.
        if (attempt > 0 && pixels < kMinRequestedTilePixels) break;
        if (pixels < 1) break;
        const int height = std::max(1, static_cast<int>(std::floor(tileH * pixels / tileW)));
        const std::string url = net::WfsClient::buildWmsUrl(wmsUrl, layers, tile, pixels, height, epsg);
        if (client.cancelRequested()) return false;
        net::HttpResponse answer = client.get(url);
        if (answer.status == 200 && answer.error.empty() && isRasterImage(answer.body)) {
            result.rasters.push_back(RasterImage{type, std::move(answer.body), epsg, tile});
            return true;
        }
        pixels /= 2;
    }
    return false;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) out += ',';
        out += n;
    }
    return out;
}

}  // namespace

int chooseRasterEpsg(int fetchEpsg, std::string_view capabilities) {
    const std::string code = platform::cformat("%d", fetchEpsg);
    if (capabilities.find("EPSG:" + code) != std::string_view::npos ||
        capabilities.find(":" + code) != std::string_view::npos)
        return fetchEpsg;
    return geodesy::kEpsgPl1992;
}

RasterTilePlan planRasterTiles(double width, double height, double metresPerPixel) {
    RasterTilePlan plan;
    plan.columns = tilesFor(width, metresPerPixel);
    plan.rows = tilesFor(height, metresPerPixel);
    if (plan.columns > kMaxRasterTilesPerAxis || plan.rows > kMaxRasterTilesPerAxis) {
        plan.limited = true;
        plan.columns = std::min(plan.columns, kMaxRasterTilesPerAxis);
        plan.rows = std::min(plan.rows, kMaxRasterTilesPerAxis);
        const double reached = std::max(height / (plan.rows * double(kMaxRasterTilePixels)),
                                        width / (plan.columns * double(kMaxRasterTilePixels)));
        plan.coarserScale = wholePart(reached / kNominalPixelMetres);
    }
    return plan;
}

// A cut-off picture keeps its signature; only one whole to its last chunk is placed.
bool isRasterImage(std::string_view body) { return net::isCompleteImage(body); }

int fetchRaster(net::WfsClient& client, const geodesy::Bbox& frame, const std::string& wmsUrl,
                const std::string& layers, double metresPerPixel, formats::DataType type, int epsg, FetchedData& result,
                const std::function<void(const std::string&)>& reportLine) {
    const double width = frame.width(), height = frame.height();
    if (!(metresPerPixel > 0.0) || !std::isfinite(metresPerPixel) || !(width > 0.0) || !(height > 0.0) ||
        !std::isfinite(width) || !std::isfinite(height) || wmsUrl.empty() || layers.empty())
        return 0;
    const std::string key = settings::dataTypeKey(type);
    const RasterTilePlan plan = planRasterTiles(width, height, metresPerPixel);
    if (plan.limited)
        result.addWarning("Kadr bardzo szeroki - rastry " + key + " ograniczone do " +
                          platform::cformat("%d", plan.columns * plan.rows) +
                          " platek (ok. 1:" + platform::cformat("%lld", plan.coarserScale) + ").");
    if (reportLine)
        reportLine("TERRAVOX: rastr " + key + ": kadr " + platform::cformat("%lld", wholePart(width)) + "x" +
                   platform::cformat("%lld", wholePart(height)) + " m, gestosc " +
                   platform::cformat("%f", metresPerPixel).substr(0, 4) +
                   " m/px (1:" + platform::cformat("%lld", wholePart(metresPerPixel / kNominalPixelMetres)) +
                   "), platki " + platform::cformat("%d", plan.columns) + "x" + platform::cformat("%d", plan.rows));

    const geodesy::Bbox box = requestBox(frame, epsg);
    const double tileW = box.width() / plan.columns, tileH = box.height() / plan.rows;
    int fetched = 0;
    for (int row = 0; row < plan.rows; ++row) {
        for (int column = 0; column < plan.columns; ++column) {
            const geodesy::Bbox tile{box.minE + column * tileW, box.minN + row * tileH,
                                     column + 1 == plan.columns ? box.maxE : box.minE + (column + 1) * tileW,
                                     row + 1 == plan.rows ? box.maxN : box.minN + (row + 1) * tileH};
            if (fetchTile(client, wmsUrl, layers, tile, metresPerPixel, type, epsg, result)) ++fetched;
        }
    }
    const int planned = plan.columns * plan.rows;
    // A mosaic with holes is no whole picture: say how much is missing (a raster with none is the callers').
    if (fetched > 0 && fetched < planned)
        result.addWarning("Rastr " + key + ": nie pobrano " + platform::cformat("%d", planned - fetched) + " z " +
                          platform::cformat("%d", planned) + " platek WMS - obraz niepelny.");
    return fetched;
}

int fetchRaster(FetchContext& ctx, const std::string& wmsUrl, const std::string& layers, double metresPerPixel,
                formats::DataType type, int epsg) {
    return fetchRaster(ctx.client, ctx.frame, wmsUrl, layers, metresPerPixel, type, epsg, ctx.result, ctx.reportLine);
}

int fetchThematicRaster(FetchContext& ctx, const std::string& wmsUrl, formats::DataType type) {
    const net::HttpResponse caps = net::getCapabilities(ctx.client, wmsUrl, "WMS");
    if (caps.status != 200) return 0;
    std::string layers = joinNames(net::selectThematicLayers(caps.body, type));
    if (layers.empty()) layers = joinNames(net::filterLayerNames(caps.body));
    if (layers.empty()) return 0;
    return fetchRaster(ctx, wmsUrl, layers, ctx.metresPerPixel(), type, chooseRasterEpsg(ctx.fetchEpsg, caps.body));
}

}  // namespace importer
