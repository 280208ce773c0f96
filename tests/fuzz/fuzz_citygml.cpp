// Fuzz target for the CityGML sheet readers and the morphs made of what they read: any bytes a package may hold
// must neither crash nor run long (nesting, faces of many corners, holes), nor give records with points off the
// grid, and the extent read in pieces of any size must be the extent read whole.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "buildings/CityGmlSheet.h"
#include "buildings/MorphMaker.h"
#include "buildings/detail/CityGmlXml.h"
#include "buildings/detail/ExtentScanner.h"
#include "model/ModelHost.h"

namespace {

void require(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_citygml: check at line %d failed\n", line);
    std::abort();
}

const geodesy::Bbox kEverywhere{-1e300, -1e300, 1e300, 1e300};

void requireRing(const std::vector<geodesy::PlanarPoint>& ring, const std::vector<double>& z) {
    require(ring.size() >= 3 && z.size() == ring.size());
    for (std::size_t k = 0; k < ring.size(); ++k) require(buildings::detail::onPolishGrid(ring[k].x, ring[k].y, z[k]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    buildings::SheetFindings found1, found2;
    for (const buildings::Building3D& b : buildings::parseLod1Sheet(text, kEverywhere, &found1)) {
        require(b.height > 0.0 && std::isfinite(b.height));
        requireRing(b.footprint, std::vector<double>(b.footprint.size(), b.groundZ));
    }
    const auto lod2 = buildings::parseLod2Sheet(text, kEverywhere, &found2);
    require(found1.readable == found2.readable && found1.damaged == found2.damaged);
    require(static_cast<std::size_t>(found2.buildings) == lod2.size());

    model::ModelHost host;
    host::installHost(&host);
    for (const buildings::BuildingLod2& b : lod2) {
        std::vector<buildings::MorphFace> faces;
        for (const buildings::Lod2Surface& s : b.surfaces) {
            requireRing(s.ring, s.z);
            buildings::MorphFace face{s.ring, s.z, {}};
            for (const buildings::Lod2Ring& hole : s.holes) {
                requireRing(hole.ring, hole.z);
                face.holes.push_back({hole.ring, hole.z});
            }
            faces.push_back(std::move(face));
        }
        // Faces that all collapse to lines make a body the host may refuse: an answer, not a crash.
        buildings::TriangulationStats stats;
        buildings::makeMorph(faces, 1, false, true, 1, &stats, &b.id);
    }
    host::installHost(nullptr);

    // The extent in pieces whose size the first byte chooses.
    geodesy::Bbox whole, pieces;
    const bool hasWhole = buildings::sheetExtent(text, whole);
    buildings::detail::ExtentScanner scanner;
    const std::size_t step = size > 0 ? 1 + data[0] % 61 : 1;
    for (std::size_t at = 0; at < size; at += step) scanner.feed(std::string_view(text).substr(at, step));
    require(scanner.extent(pieces) == hasWhole);
    if (hasWhole) require(whole == pieces || (std::isnan(whole.minE) && std::isnan(pieces.minE)));
    return 0;
}
