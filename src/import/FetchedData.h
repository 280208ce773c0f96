// Everything one fetch brought back; kept by the import controller until the next fetch completes.
#pragma once
#include <string>
#include <vector>

#include "buildings/BuildingTypes.h"
#include "formats/gml/GisFeature.h"
#include "import/RasterImage.h"
#include "terrain/ContourLine.h"
#include "terrain/TerrainPatch.h"

namespace importer {

// The result of one fetch, in PL-1992 metres and heights above sea level.
struct FetchedData {
    std::vector<gml::GisFeature> features;            // parcels, buildings, plan zones, utilities, in fetch order
    std::vector<RasterImage> rasters;                 // WMS tiles
    std::vector<terrain::TerrainPatch> terrain;       // terrain from the elevation model
    std::vector<terrain::TerrainPatch> terrainCloud;  // terrain from the point cloud
    std::vector<terrain::TerrainPatch> waterCloud;    // water surfaces from the point cloud
    std::vector<buildings::Building3D> buildings3d;   // LOD1 blocks
    bool buildings3dRequested = false;                // "budynki3d" was among the layer keys
    std::string buildings3dNote;                      // note of the LOD1 fetch
    std::vector<buildings::BuildingLod2> buildingsLod2;
    std::string buildingsLod2Note;                          // note of the LOD2 fetch
    std::vector<buildings::RoofFitResult> roofsCloud;       // roofs fitted to the point cloud
    std::vector<buildings::RoofFitResult> buildingsRekon;   // LOD2 buildings reconstructed from the point cloud
    std::vector<buildings::StructureResult> buildingsNdsm;  // buildings from the normalised surface model
    std::vector<buildings::StructureResult> bridges;
    std::vector<buildings::StructureResult> roads;
    std::vector<terrain::ContourLine> contours;       // from the elevation model
    std::vector<terrain::ContourLine> contoursCloud;  // from the point cloud
    std::string warning;                              // notes for the user, joined by single blanks

    // Appends a note to `warning`, one blank after an earlier note.
    void addWarning(const std::string& note) {
        if (note.empty()) return;
        if (!warning.empty()) warning += ' ';
        warning += note;
    }
};

}  // namespace importer
