#include "import/FetchCadastre.h"

#include <vector>

#include "import/FetchContext.h"
#include "import/TileLossNote.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

constexpr const char* kBdot10kBuildingType = "ms:bud_2025";

// National new-buildings layer: the only building source left when the county gives none.
std::vector<gml::GisFeature> fetchBdot10kBuildings(FetchContext& ctx, net::TiledFetchOutcome& outcome) {
    return net::fetchTiledFeatures(ctx.client, net::serviceEndpoints().bdot10kNewBuildingsWfs(), kBdot10kBuildingType,
                                   ctx.frame, formats::DataType::budynki, ctx.progress("Import: budynki (BDOT10k)"),
                                   true, false, 0, &outcome);
}

void addNote(FetchContext& ctx, const std::string& note) {
    if (!note.empty()) ctx.addWarning(note);
}

}  // namespace

void fetchCadastreGroup(FetchContext& ctx) {
    const bool wantParcels = ctx.wants("dzialki");
    const bool wantBuildings = ctx.wants("budynki");
    std::vector<gml::GisFeature> parcels, buildings;
    net::TiledFetchOutcome parcelOutcome, buildingOutcome;

    const std::string code = ctx.gminaCode();
    const std::string countyWfs = net::findCountyEgibWfs(code);
    if (countyWfs.empty()) {
        if (code.empty()) ctx.addWarning("Nie udalo sie ustalic powiatu dla widoku.");
        else ctx.addWarning("Powiat (TERYT " + code.substr(0, 4) + ") nie publikuje WFS EGiB w EZiU.");
    } else {
        std::string parcelType, buildingType;
        net::WfsLayerFetcher& fetcher = *ctx.layerFetcher;
        if (!fetcher.discoverTypeNames(countyWfs, parcelType, buildingType)) {
            ctx.addWarning("Powiatowa usluga WFS EGiB nie odpowiada.");
        } else {
            if (wantParcels)
                parcels = fetcher.fetchCountyLayer(countyWfs, parcelType, ctx.frame, formats::DataType::dzialki,
                                                   ctx.progress("Import: dzialki"), &parcelOutcome);
            if (wantBuildings)
                buildings = fetcher.fetchCountyLayer(countyWfs, buildingType, ctx.frame, formats::DataType::budynki,
                                                     ctx.progress("Import: budynki"), &buildingOutcome);
            ctx.report("TERRAVOX EGiB [TERYT " + code + "] " + countyWfs + " | tn.dzialki='" + parcelType + "' -> " +
                       platform::cformat("%zu", parcels.size()) + " | tn.budynki='" + buildingType + "' -> " +
                       platform::cformat("%zu", buildings.size()));
        }
    }

    if (wantParcels && parcels.empty()) ctx.addWarning("Brak dzialek dla tego obszaru.");
    // A layer that lost tiles says so, also when what did come looks like "no data".
    if (wantParcels) addNote(ctx, tileLossNote("Dzialki", parcelOutcome));
    if (wantBuildings && buildings.empty()) {
        // Buildings that failed to come are no sign of a server that ignores the box.
        if (!parcels.empty() && buildingOutcome.failed == 0)
            ctx.addWarning(
                "Powiatowa usluga zwraca dzialki, ale nie filtruje budynkow po obszarze (blad konfiguracji "
                "serwera powiatu - np. Zabrze).");
        addNote(ctx, tileLossNote("Budynki", buildingOutcome));
        net::TiledFetchOutcome nationalOutcome;
        buildings = fetchBdot10kBuildings(ctx, nationalOutcome);
        if (!buildings.empty()) ctx.addWarning("Budynki z BDOT10k NoweBudynki (fallback - tylko nowe obiekty).");
        addNote(ctx, tileLossNote("Budynki (BDOT10k)", nationalOutcome));
    } else if (wantBuildings) {
        addNote(ctx, tileLossNote("Budynki", buildingOutcome));
    }

    auto& features = ctx.result.features;
    features.insert(features.end(), std::make_move_iterator(parcels.begin()), std::make_move_iterator(parcels.end()));
    features.insert(features.end(), std::make_move_iterator(buildings.begin()),
                    std::make_move_iterator(buildings.end()));
}

}  // namespace importer
