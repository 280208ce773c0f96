// Extent of the points of a mesh, for the diagnostics lines.
#pragma once
#include <algorithm>
#include <limits>
#include <string>

#include "terrain/detail/MeshDiagnostics.h"

namespace terrain::detail {

// Running extent of mapped points.
struct MeshBounds {
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    double minZ = std::numeric_limits<double>::infinity();
    double maxZ = -std::numeric_limits<double>::infinity();

    void add(double x, double y, double z) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        minZ = std::min(minZ, z);
        maxZ = std::max(maxZ, z);
    }
    // "[minX..maxX,minY..maxY]" in whole metres.
    std::string planarText() const {
        return "[" + diagnosticMetres(minX) + ".." + diagnosticMetres(maxX) + "," + diagnosticMetres(minY) + ".." +
               diagnosticMetres(maxY) + "]";
    }
};

}  // namespace terrain::detail
