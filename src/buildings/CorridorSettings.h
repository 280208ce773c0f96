// How a bridge or road corridor is laid on the elevation models.
#pragma once
#include <cstddef>

#include "geodesy/Bbox.h"

namespace buildings {

// Quads of all corridors of one fetch at most. Each costs about 150 bytes, and a large frame holds tens of
// thousands of ways (60,000 of them once took 23 GB): beyond this the lattice is coarsened.
inline constexpr std::size_t kCorridorCellBudget = 2000000;

struct CorridorSettings {
    double cell = 0.5;             // metres
    double raisedThreshold = 1.0;  // nDSM above this at a cell centre counts as raised
    double minRaisedShare = 0.0;   // bridges 0.35, roads 0
    bool onSurface = false;        // heights from the surface model (bridges), else the terrain model (roads)
    bool clip = false;             // keep to the frame (roads)
    geodesy::Bbox frame;
    // Quads one corridor may make; a corridor that would make more is laid flat at its median height (fallback).
    std::size_t maxCells = kCorridorCellBudget;

    static CorridorSettings bridge();
    static CorridorSettings road(const geodesy::Bbox& frame);
};

}  // namespace buildings
