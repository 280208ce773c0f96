// The makers of the kinds of element placed so far: each turns one list of the fetch result into host elements.
#pragma once
#include "host/Host.h"

namespace importer {

struct PlacementContext;

// Each answers 0, or the code of an abort (the context then holds the message).
// WMS tiles as pictures on their type's layer.
host::HostError placeRasters(PlacementContext& c);
// Vector features as 2D drawing.
host::HostError placeFeatures(PlacementContext& c);
// Elevation-model terrain as meshes.
host::HostError placeTerrain(PlacementContext& c);
// Point-cloud terrain and water as meshes; a failed patch is skipped.
host::HostError placeCloudTerrain(PlacementContext& c);
host::HostError placeCloudWater(PlacementContext& c);
// Contour lines as 2D polylines with height labels (only when "poziomice2d" was selected).
host::HostError placeContours2d(PlacementContext& c);
// Contour lines as one 3D mesh (only when "poziomice3d" was selected).
host::HostError placeContourMesh(PlacementContext& c);
// Point-cloud contour lines as one 3D mesh.
host::HostError placeCloudContourMesh(PlacementContext& c);

}  // namespace importer
