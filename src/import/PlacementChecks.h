// Before placement: the project's georeference against the fetched frame, and the height that
// becomes project height 0.
#pragma once
#include <string>

#include "geodesy/Bbox.h"
#include "import/FetchedData.h"
#include "import/Georeference.h"
#include "import/ProjectTransform.h"
#include "settings/Settings.h"

namespace importer {

// Distances beyond which an approximate georeference is refused and an exact one warned about.
inline constexpr double kApproximateGeorefLimitKm = 2.0;
inline constexpr double kExactGeorefWarningKm = 50.0;

// Where placement puts the data, or why it may not.
struct PlacementGeoref {
    std::string error;  // non-empty: placement must not start
    GeorefQuality quality = GeorefQuality::none;
    int workingEpsg = 0;         // the PL-2000 zone the data are converted into
    ProjectTransform transform;  // working zone -> project coordinates
    double distanceKm = 0.0;     // frame centre to the georeference origin
    std::string warnings;        // notes for the user, joined by single blanks
};

// Reads the project's georeference and checks it against the frame (PL-1992) of the last fetch,
// whose zone is fetchEpsg. A project in PL-1992 (or naming no zone) is placed in fetchEpsg.
PlacementGeoref checkPlacementGeoreference(const geodesy::Bbox& frame, int fetchEpsg);

// The height anchor chosen for one placement.
struct HeightAnchor {
    double offset = 0.0;               // subtracted from every absolute height
    double surveyHeightAtStart = 0.0;  // the survey point's orthogonal height when placement began
    double lowestTerrain = 0.0;        // the lowest terrain vertex when a new anchor was computed, else 0
    bool newAnchor = false;            // offset is a new anchor: store it once placement succeeds
    std::string note;                  // for the placement's warnings (new anchor only)
    int terrainSets = 0;               // elevation-model patches considered
    int cloudTerrainSets = 0;          // point-cloud terrain patches considered
};

// Chooses the anchor: the survey point's height when set, else the stored one, else the lowest
// point of the fetched terrain (a new anchor), else 0. Changes nothing.
HeightAnchor chooseHeightAnchor(const FetchedData& data, const settings::Settings& settings);

// What writing a new anchor into the project did.
struct AnchorWrite {
    bool written = false;      // the geolocation record took the new height
    double heightAfter = 0.0;  // the orthogonal height read back
};

// Writes a new anchor as the survey point's height (part of the placement's undoable command);
// for an anchor that is not new it only reads the height back.
AnchorWrite writeHeightAnchor(const HeightAnchor& anchor);
// Placements that anchored heights so far in this process (main thread): a height looked up before one of them
// must not be written afterwards, or later imports would no longer line up with it.
unsigned long placementsAnchored();
void notePlacementAnchored();
// The survey point's orthogonal height the project holds now; 0 when the record cannot be read.
double projectSurveyHeight();
// Stores a new anchor in the settings and saves them (after a successful placement).
void storeHeightAnchor(const HeightAnchor& anchor, settings::Settings& settings);
// Replaces the height diagnostics file with this placement's line.
void writeHeightDiagnostics(const HeightAnchor& anchor, const settings::Settings& settings, const AnchorWrite& write);

}  // namespace importer
