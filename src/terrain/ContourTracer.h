// Sampling, smoothing and tracing of contour lines.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "platform/Progress.h"
#include "terrain/ContourGrid.h"
#include "terrain/ContourLine.h"
#include "terrain/HeightSource.h"

namespace terrain {

// Most grid nodes per axis.
inline constexpr int kContourNodesPerAxis = 3000;
// Most levels traced and lines kept.
inline constexpr int kMaxContours = 3000;
// Most points over all kept lines.
inline constexpr std::size_t kMaxContourPoints = 600000;
// Bilateral smoothing of the grid.
inline constexpr double kGridSmoothSpatialSigma = 1.5;
inline constexpr double kGridSmoothHeightSigma = 0.2;

// The allowed interval (0.25, 0.5, 1 or 2 m) within 1e-6 of `interval`, else `interval` itself, so
// levels are exact multiples of what the user chose.
double snapContourInterval(double interval);

// True when the tracer should stop.
using CancelQuery = std::function<bool()>;

// Sampling step for a terrain step in whole metres (1 when <= 0), coarser when the frame would need
// more than 3000 nodes on an axis; then `note` tells the user, else it is cleared.
double contourStep(const geodesy::Bbox& frame, int terrainStep, std::string& note);

// Samples the frame every `step` metres; an empty grid (nx = ny = 0) when an axis has fewer than 2 nodes.
ContourGrid buildContourGrid(const geodesy::Bbox& frame, double step, const HeightSource& heights);

// Bilateral filter in place; missing nodes stay missing. Does nothing on grids under 3 x 3 nodes.
void smoothContourGrid(ContourGrid& grid, double spatialSigma, double heightSigma);

// Marching squares at every multiple of `interval` (snapped) inside the height range, segments joined into lines.
// Stops at `maxContours` lines or once more than `maxPoints` points are kept, with a note saying so.
// A cancel before a level ends the trace with the lines so far, `cancelled` set and the note replaced.
std::vector<ContourLine> traceContours(const ContourGrid& grid, double interval, std::string& note, int maxContours,
                                       std::size_t maxPoints, const CancelQuery& cancel, bool& cancelled,
                                       const platform::ProgressCallback& progress);

}  // namespace terrain
