#include "terrain/TerrainPatchBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace terrain {

namespace {

// Node count along one axis of the frame; 0 when the extent is not a usable number.
std::int64_t nodeCount(double extent, int step) {
    if (!std::isfinite(extent) || extent < 0.0) return 0;
    // Anything beyond the patch limits is never sampled, so the count need not be exact past that.
    const double n = std::floor(extent / step) + 1.0;
    return n > 1e12 ? static_cast<std::int64_t>(1e12) : static_cast<std::int64_t>(n);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

}  // namespace

TerrainSet buildTerrainPatches(const geodesy::Bbox& frame, int step, const HeightSource& heights, std::string& note) {
    note.clear();
    TerrainSet set;
    const int s = step <= 0 ? 1 : step;
    if (!std::isfinite(frame.minE) || !std::isfinite(frame.minN)) return set;
    const std::int64_t nx = nodeCount(frame.maxE - frame.minE, s);
    const std::int64_t ny = nodeCount(frame.maxN - frame.minN, s);
    if (nx < 1 || ny < 1) return set;

    std::int64_t px = std::max<std::int64_t>(ceilDiv(nx, kPatchNodes), 1);
    std::int64_t py = std::max<std::int64_t>(ceilDiv(ny, kPatchNodes), 1);
    if (px > kPatchesPerAxis || py > kPatchesPerAxis) {
        px = std::min<std::int64_t>(px, kPatchesPerAxis);
        py = std::min<std::int64_t>(py, kPatchesPerAxis);
        const double longest = std::max(frame.maxE - frame.minE, frame.maxN - frame.minN);
        const double needed = std::ceil(longest / (kPatchesPerAxis * kPatchNodes - 1));
        note = "Kadr za duzy dla kroku " + std::to_string(s) +
               " m - teren ograniczony do 4x4 platek. Zwieksz krok do >= " +
               std::to_string(static_cast<long long>(needed)) + " m, aby pokryc caly kadr.";
    }
    const std::int64_t bx = std::min<std::int64_t>(ceilDiv(nx, px), kPatchNodes);
    const std::int64_t by = std::min<std::int64_t>(ceilDiv(ny, py), kPatchNodes);

    for (std::int64_t j = 0; j < py; ++j) {
        const std::int64_t rowBegin = j * by;
        const std::int64_t rowEnd = std::min(rowBegin + by + (j + 1 < py ? 1 : 0), ny);
        if (rowBegin >= rowEnd) continue;
        for (std::int64_t i = 0; i < px; ++i) {
            const std::int64_t colBegin = i * bx;
            const std::int64_t colEnd = std::min(colBegin + bx + (i + 1 < px ? 1 : 0), nx);
            if (colBegin >= colEnd) continue;
            TerrainPatch patch;
            patch.minX = frame.minE + static_cast<double>(colBegin) * s;
            patch.minY = frame.minN + static_cast<double>(rowBegin) * s;
            patch.maxX = frame.minE + static_cast<double>(colEnd - 1) * s;
            patch.maxY = frame.minN + static_cast<double>(rowEnd - 1) * s;
            patch.points.reserve(static_cast<std::size_t>((rowEnd - rowBegin) * (colEnd - colBegin)));
            for (std::int64_t b = rowBegin; b < rowEnd; ++b) {
                const double y = frame.minN + static_cast<double>(b) * s;
                for (std::int64_t a = colBegin; a < colEnd; ++a) {
                    const double x = frame.minE + static_cast<double>(a) * s;
                    double z = 0.0;
                    if (heights(x, y, z)) patch.points.push_back({x, y, z});
                }
            }
            if (!patch.points.empty()) {
                patch.points.shrink_to_fit();
                set.push_back(std::move(patch));
            }
        }
    }
    return set;
}

}  // namespace terrain
