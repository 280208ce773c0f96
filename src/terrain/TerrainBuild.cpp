#include "terrain/TerrainBuild.h"

#include "terrain/HeightSource.h"
#include "terrain/TerrainPatchBuilder.h"

namespace terrain {

TerrainBuildResult buildTerrain(const geodesy::Bbox& frame, int step, const std::vector<grid::ElevationGrid>& grids) {
    TerrainBuildResult out;
    if (grids.empty()) {
        out.notes.push_back("Teren: nie udalo sie pobrac/sparsowac zadnego pliku NMT.");
        return out;
    }
    std::string note;
    out.patches = buildTerrainPatches(frame, step, mosaicHeightSource(grids), note);
    if (!note.empty()) out.notes.push_back(note);
    if (out.patches.empty()) out.notes.push_back("Teren: brak waznych punktow NMT w kadrze.");
    return out;
}

}  // namespace terrain
