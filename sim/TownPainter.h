// Pictures of the generated worlds as an airborne camera would take them: the demo town (land cover, river,
// streets, shadows, trees, roofs lit by the sun), and a map drawing of its plans.
#pragma once
#include "RasterCanvas.h"
#include "Town.h"

namespace sim {

void paintTown(const town::Town& town, RasterCanvas& canvas);
// The zones of a plan in the colours plan drawings use, with their outlines.
void paintPlanZones(const std::vector<town::PlanZone>& zones, RasterCanvas& canvas, std::uint8_t alpha);

}  // namespace sim
