// Contours of a frame from elevation sheets: step, grid, smoothing, tracing and the notes for the user.
#pragma once
#include <string>
#include <vector>

#include "formats/grid/ElevationGrid.h"
#include "terrain/ContourLine.h"
#include "terrain/ContourRequest.h"
#include "terrain/ContourTracer.h"

namespace terrain {

// Lines traced and what the user is told about them.
struct ContourBuildResult {
    std::vector<ContourLine> lines;
    std::vector<std::string> notes;  // in the order they arose
    std::string summary;             // e.g. "Poziomice: 12 warstwic, ciecie 1,00 m"; empty when stopped early
    double step = 0.0;               // sampling step used
    bool cancelled = false;
};

// The note refusing an interval that is not allowed, or an empty text when it is allowed.
std::string contourIntervalNote(double interval);

// Runs the whole contour computation over the sheets read for the frame (mosaic in list order).
ContourBuildResult buildContours(const ContourRequest& request, const std::vector<grid::ElevationGrid>& grids,
                                 const CancelQuery& cancel, const platform::ProgressCallback& progress);

}  // namespace terrain
