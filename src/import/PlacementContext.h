// What one placement reads and what it made, shared by its steps.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "geodesy/Crs.h"
#include "host/Host.h"
#include "import/Drawing2D.h"
#include "import/FetchedData.h"
#include "import/LayerMapping.h"
#include "import/ProjectTransform.h"

namespace importer {

// PL-1992 to the working zone, exact for every vertex: a linearisation around the frame centre is millimetres
// off within 2 km and decimetres far away (a project's data may lie kilometres from the frame it was fetched in).
struct ZoneConversion {
    int epsg = 0;  // the working PL-2000 zone
    geodesy::PlanarPoint apply(geodesy::PlanarPoint p) const { return geodesy::pl1992ToPl2000(p, epsg); }
};

// What one placement made.
struct PlacementResult {
    std::map<std::string, int> counts;  // count key -> elements or features made
    int failures = 0;                   // skipped geometries and solids
    std::string error;                  // non-empty: the command is undone
    DrawBounds bounds;                  // extent of the 2D drawing, project coordinates
    std::string warnings;               // notes of the steps, joined by single blanks
    std::string heightDiagnostics;      // lines the steps add to the height diagnostics after its first line
};

// Everything a step's maker reads, and the result it adds to.
struct PlacementContext {
    const FetchedData& data;                    // as fetched: PL-1992, heights above sea level
    const std::vector<std::string>& layerKeys;  // the layer keys the user selected
    bool smoothContours = false;
    geodesy::Bbox frame;              // the fetch frame, PL-1992
    int workingEpsg = 0;              // PL-2000 zone of the placement
    ZoneConversion toZone;            // PL-1992 -> working zone
    ProjectTransform transform;       // working zone -> project coordinates
    double terrainOffset = 0.0;       // heights of elevation-model terrain
    double cloudTerrainOffset = 0.0;  // heights of point-cloud terrain and water
    double buildingOffset = 0.0;      // heights of buildings, structures and contour meshes
    double cloudContourOffset = 0.0;  // heights of the contour mesh from the point cloud
    std::set<std::string> lod2Ids;    // upper-case identifiers of LOD2 buildings with a surface
    LayerMapping& layers;
    PlacementResult& result;

    // Whether the user selected the layer key.
    bool selected(const std::string& key) const;
    // Stops the placement: records the message and answers the code that undoes the command.
    host::HostError abort(const std::string& message);
    // Adds a note for the user.
    void note(const std::string& text);
};

}  // namespace importer
