// The LiDAR height grid built point by point, sheet after sheet, in memory that is a fixed multiple of the grid.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"
#include "terrain/CloudTerrainGrid.h"

namespace terrain {

class CloudTerrainBuilder {
public:
    // The grid over the frame at the step (1 when not positive); an impossible frame gives an empty grid.
    CloudTerrainBuilder(const geodesy::Bbox& frame, double step, bool withWater);
    ~CloudTerrainBuilder();
    CloudTerrainBuilder(const CloudTerrainBuilder&) = delete;
    CloudTerrainBuilder& operator=(const CloudTerrainBuilder&) = delete;

    // One return of the frame in PL-1992. Ground (class 2) and, when water is wanted, water (class 9) give heights;
    // a return of any class shows the scanner saw the cell, so it is not taken for open water.
    void add(const formats::CloudPoint& point);
    // The area (PL-1992) of a sheet that failed or came in part: a cell there without any return may have lost
    // its points, so it is neither filled from its neighbours nor taken for water.
    void markLost(const geodesy::Bbox& area);
    // A lost sheet whose area is not known: every cell without a return may have lost its points.
    void markLostEverywhere();

    std::uint64_t groundPoints() const;  // inside the grid
    std::uint64_t waterPoints() const;   // inside the grid, counted only when water is wanted
    // Bytes held now: a fixed multiple of the cell count, whatever the number of points.
    std::size_t bytes() const;

    // Medians, hole filling and water as buildCloudTerrainGrid describes; the builder is spent afterwards.
    CloudTerrainGrid finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace terrain
