#include "import/LayerTable.h"

#include "import/FetchCadastre.h"
#include "import/FetchElevation.h"
#include "import/FetchGroups.h"
#include "import/FetchUtilities.h"
#include "import/FetchedData.h"
#include "import/PlacementBuildings.h"
#include "import/PlacementMakers.h"
#include "import/StructurePlacement.h"

namespace importer {

namespace {

template <auto Member>
std::size_t sizeOf(const FetchedData& d) {
    return (d.*Member).size();
}

template <auto Member>
bool hasEntries(const FetchedData& d) {
    return !(d.*Member).empty();
}

// LOD1 blocks also come as footprints for other branches; only a request of their own places them.
bool hasRequestedLod1(const FetchedData& d) { return d.buildings3dRequested && !d.buildings3d.empty(); }

}  // namespace

const std::vector<FetchGroup>& fetchGroupOrder() {
    static const std::vector<FetchGroup> order = {
        fetchCadastreGroup,       fetchPlanningGroup,     fetchUtilitiesGroup,     fetchBaseMapGroup,
        fetchOrthoGroup,          fetchElevationGroup,    fetchCloudTerrainGroup,  fetchBuildings3dGroup,
        fetchNdsmBuildingsGroup,  fetchBridgesRoadsGroup, fetchBuildingsLod2Group, fetchCloudRoofsGroup,
        fetchReconstructionGroup, fetchContoursGroup,
    };
    return order;
}

const std::vector<PageLayer>& pageLayers() {
    using D = FetchedData;
    using T = formats::DataType;
    static const std::vector<PageLayer> layers = {
        {"dzialki", {T::dzialki}, {fetchCadastreGroup}},
        {"budynki", {T::budynki}, {fetchCadastreGroup}},
        {"pog", {T::pog}, {fetchPlanningGroup}},
        {"mpzp", {T::mpzp}, {fetchPlanningGroup}},
        {"gesut", {T::gesut}, {fetchUtilitiesGroup}},
        {"bdot500", {T::bdot500}, {fetchBaseMapGroup}},
        {"rastr", {T::rastry}, {fetchOrthoGroup}},
        {"teren",
         {T::teren},
         {fetchElevationGroup},
         "teren (Siatka)",
         sizeOf<&D::terrain>,
         "teren (Siatka)",
         hasEntries<&D::terrain>,
         importer::placeTerrain},
        {"terenchmura",
         {T::terenchmura},
         {fetchCloudTerrainGroup},
         "teren z chmury (Siatka)",
         sizeOf<&D::terrainCloud>,
         "teren z chmury (Siatka)",
         hasEntries<&D::terrainCloud>,
         importer::placeCloudTerrain},
        {"wodachmura",
         {T::wodachmura},
         {fetchCloudTerrainGroup},
         "woda z chmury (Siatka)",
         sizeOf<&D::waterCloud>,
         "woda z chmury (Siatka)",
         hasEntries<&D::waterCloud>,
         importer::placeCloudWater},
        {"budynki3d",
         {T::budynki3d},
         {fetchBuildings3dGroup},
         "budynki3d",
         sizeOf<&D::buildings3d>,
         "budynki3d",
         hasRequestedLod1,
         importer::placeLod1Buildings},
        {"budynkilod2",
         {T::budynkilod2},
         {fetchBuildingsLod2Group},
         "budynkilod2",
         sizeOf<&D::buildingsLod2>,
         "budynkilod2",
         hasEntries<&D::buildingsLod2>,
         importer::placeLod2Buildings},
        {"dachychmura",
         {},
         {fetchBuildings3dGroup, fetchCloudRoofsGroup},
         "dachychmura",
         sizeOf<&D::roofsCloud>,
         "dachychmura",
         hasEntries<&D::roofsCloud>,
         importer::placeCloudRoofs},
        {"budynkindsm",
         {T::budynkindsm},
         {fetchBuildings3dGroup, fetchNdsmBuildingsGroup},
         "budynkindsm",
         sizeOf<&D::buildingsNdsm>,
         "budynkindsm",
         hasEntries<&D::buildingsNdsm>,
         importer::placeNdsmBuildings},
        {"budynkirekon",
         {T::budynkirekon},
         {fetchBuildings3dGroup, fetchReconstructionGroup},
         "budynkirekon",
         sizeOf<&D::buildingsRekon>,
         "budynkirekon",
         hasEntries<&D::buildingsRekon>,
         importer::placeRekonBuildings},
        {"mosty",
         {T::mosty},
         {fetchBridgesRoadsGroup},
         "mosty",
         sizeOf<&D::bridges>,
         "mosty",
         hasEntries<&D::bridges>,
         importer::placeBridges},
        {"drogi",
         {T::drogi},
         {fetchBridgesRoadsGroup},
         "drogi",
         sizeOf<&D::roads>,
         "drogi",
         hasEntries<&D::roads>,
         importer::placeRoads},
        {"poziomice2d",
         {T::poziomice2d},
         {fetchContoursGroup},
         "poziomice (warstwice)",
         sizeOf<&D::contours>,
         "poziomice2d",
         hasEntries<&D::contours>,
         importer::placeContours2d},
        {"poziomice3d",
         {T::poziomice3d},
         {fetchContoursGroup},
         "poziomice (warstwice)",
         sizeOf<&D::contours>,
         "poziomice3d",
         hasEntries<&D::contours>,
         importer::placeContourMesh},
        {"poziomicechmura",
         {T::poziomicechmura2d, T::poziomicechmura3d},
         {fetchCloudTerrainGroup},
         "poziomice z chmury (warstwice)",
         sizeOf<&D::contoursCloud>,
         "poziomicechmura3d",
         hasEntries<&D::contoursCloud>,
         importer::placeCloudContourMesh},
    };
    return layers;
}

}  // namespace importer
