#include <algorithm>
#include <cstdlib>

#include "import/FetchGroups.h"
#include "import/ImportController.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"

bool FetchContext::wants(const std::string& key) const {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool FetchContext::wantsAny(std::initializer_list<const char*> anyOf) const {
    return std::any_of(anyOf.begin(), anyOf.end(), [this](const char* key) { return wants(key); });
}

void FetchContext::report(const std::string& line) const {
    if (reportLine) reportLine(line);
}

FetchContext::ProgressFunction FetchContext::progress(const std::string& label) const {
    if (progressFor) return progressFor(label);
    return [](int, int) {};
}

const std::string& FetchContext::gminaCode() {
    if (!gminaAsked_) {
        gmina_ = net::findGminaTeryt(client, municipalities, frame);
        gminaAsked_ = true;
    }
    return gmina_;
}

double FetchContext::metresPerPixel() const {
    const int scale = (rasterScale >= 100 && rasterScale <= 10000) ? rasterScale : 1000;
    return scale * 0.00028;
}

void runFetchGroups(FetchContext& ctx) {
    net::WfsLayerFetcher fetcher(ctx.client);
    ctx.layerFetcher = &fetcher;
    ctx.result.buildings3dRequested = ctx.wants("budynki3d");

    if (ctx.wantsAny({"dzialki", "budynki"})) fetchCadastreGroup(ctx);
    if (ctx.wantsAny({"pog", "mpzp"})) fetchPlanningGroup(ctx);
    if (ctx.wants("gesut")) fetchUtilitiesGroup(ctx);
    if (ctx.wants("bdot500")) fetchBaseMapGroup(ctx);
    if (ctx.wants("rastr")) fetchOrthoGroup(ctx);
    if (ctx.wants("teren")) fetchElevationGroup(ctx);
    if (ctx.wantsAny({"terenchmura", "poziomicechmura", "wodachmura"})) fetchCloudTerrainGroup(ctx);
    if (ctx.wantsAny({"budynki3d", "dachychmura", "budynkindsm", "budynkirekon"})) fetchBuildings3dGroup(ctx);
    if (ctx.wants("budynkindsm")) fetchNdsmBuildingsGroup(ctx);
    if (ctx.wantsAny({"mosty", "drogi"})) fetchBridgesRoadsGroup(ctx);
    if (ctx.wants("budynkilod2")) fetchBuildingsLod2Group(ctx);
    if (ctx.wants("dachychmura")) fetchCloudRoofsGroup(ctx);
    if (ctx.wants("budynkirekon")) fetchReconstructionGroup(ctx);
    if (ctx.wantsAny({"poziomice2d", "poziomice3d"})) fetchContoursGroup(ctx);

    ctx.layerFetcher = nullptr;
}

FetchedData ImportController::fetchForImport(const geodesy::Bbox& frame, const std::vector<std::string>& layers,
                                             int rasterScale, int terrainStep, double contourInterval) {
    net::applyLocalPacing(webClient_);
    FetchedData result;
    FetchContext ctx(webClient_, municipalityCache_, result);
    ctx.frame = frame;
    ctx.keys = layers;
    ctx.rasterScale = rasterScale;
    ctx.terrainStep = terrainStep;
    ctx.poziomiceCiecie = contourInterval;
    ctx.fetchEpsg = fetchEpsg_;
    ctx.smoothContours = smoothContours_;
    ctx.cloudTerrainStep = cloudTerrainStep_;
    ctx.cancelRequested = [this]() { return cancelRequested(); };
    ctx.progressFor = [](const std::string& label) { return progressFor(label); };
    ctx.reportLine = [](const std::string& line) { postReportLine(line); };
    runFetchGroups(ctx);
    return result;
}
