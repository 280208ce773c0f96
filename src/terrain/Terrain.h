// Terrain: patches of sampled ground heights and contour lines.
#pragma once
#include "terrain/ContourBuild.h"          // ContourRequest, ContourBuildResult, buildContours: contours from sheets
#include "terrain/ContourDrawing.h"        // drawContours2d: contour polylines and labels in the host
#include "terrain/ContourGrid.h"           // ContourGrid: the regular height grid contours are traced on
#include "terrain/ContourLabel.h"          // ContourLabel, labelsForContour: elevation labels of index contours
#include "terrain/ContourLine.h"           // ContourLine: one traced contour
#include "terrain/ContourMesh.h"           // createContourMesh: one mesh with every contour as a level line
#include "terrain/ContourRequest.h"        // ContourRequest: frame, step, interval and smoothing of a contour run
#include "terrain/ContourSmoothing.h"      // smoothContours: corner cutting and simplification at placement
#include "terrain/ContourTracer.h"         // contourStep, buildContourGrid, smoothContourGrid, traceContours
#include "terrain/ElevationFetch.h"        // fetchTerrain, fetchContours: the fetch branches over the sheet index
#include "terrain/ElevationSheetSource.h"  // ElevationSheetSource, FetchProgress: sheet index and download
#include "terrain/HeightSource.h"          // HeightSource: heights at a point, e.g. from a mosaic of sheets
#include "terrain/PlanarMap.h"             // PlanarMap: working-zone metres to project coordinates
#include "terrain/TerrainBuild.h"          // TerrainBuildResult, buildTerrain: terrain patches from sheets
#include "terrain/TerrainMesh.h"           // createTerrainMesh: one host mesh per terrain patch
#include "terrain/TerrainPatch.h"          // TerrainPatch, TerrainSet: one patch of terrain nodes
#include "terrain/TerrainPatchBuilder.h"   // buildTerrainPatches: cuts a frame into patches
