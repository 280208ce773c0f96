// Several real places in different PL-2000 zones with the county and national services an import meets there:
// municipality boundaries, county land registers of different behaviours, the national new-buildings layer,
// county utility services (WFS with and without pipe layers, WMS), the national utility integration WMS,
// county base-map WMS and the orthophoto.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "FeatureStore.h"
#include "Scenario.h"
#include "WfsService.h"
#include "geodesy/PlanarPoint.h"

namespace sim {

namespace poland {

// One place of the scenario: its municipality and where the test frames go.
struct Place {
    const char* name;
    const char* teryt7;  // municipality code with its kind digit, as the boundary service gives it
    double lat;          // WGS84 centre of the data
    double lon;
    int zoneEpsg;  // PL-2000 zone of the place
};

// Warsaw, zone 7: county register answers northing-first boxes only; no county utility or base-map service.
extern const Place kWarszawa;
// Zamosc, zone 8: county register reads every box easting first; utility WFS with pipe layers, utility and
// base-map WMS.
extern const Place kZamosc;
// Zary, zone 5: county register answers only requests in a PL-2000 zone with SRSNAME; utility WFS without pipe
// layers, utility and base-map WMS.
extern const Place kZary;
// Zabrze, zone 6: county register returns parcels but ignores the box for buildings (all far away); new
// buildings on the national layer.
extern const Place kZabrze;
// Wroclaw, zone 6: county register does not answer (503); new buildings on the national layer.
extern const Place kWroclaw;

// Every place, in the order above.
const std::vector<const Place*>& places();
// Centre of a place in PL-1992.
geodesy::PlanarPoint centre1992(const Place& place);
// A WGS84 frame [west, south, east, north] of the given size in metres around a place's centre.
std::vector<double> frameWgs84(const Place& place, double widthMetres, double heightMetres);

// Data of the scenario: a block of parcels around a centre (columns x rows), numbered like a real precinct,
// with buildings on all but the corner parcels (no parcels or no buildings when a type name is empty).
void addParcelBlock(FeatureStore& store, const std::string& parcelType, const std::string& buildingType,
                    const std::string& teryt6, const std::string& precinct, geodesy::PlanarPoint centre, int columns,
                    int rows);
// Pipes along the streets between the parcel block's rows.
void addPipes(FeatureStore& store, const std::string& typeName, geodesy::PlanarPoint centre, double offset,
              const std::string& material);

// Number of parcels and buildings of each place's block (the frames of the tests cover it whole).
inline constexpr int kBlockColumns = 8;
inline constexpr int kBlockRows = 6;
inline constexpr int kBlockParcels = kBlockColumns * kBlockRows;
// Every parcel but the corner ones carries a building.
inline constexpr int kBlockBuildings = kBlockParcels - 4;
// Extent of the block in metres (east-west, north-south), centred on the place.
inline constexpr double kBlockWidth = 8 * 30.0;
inline constexpr double kBlockHeight = 6 * 40.0;
// New buildings on the national layer near Zabrze and Wroclaw (and Warsaw), inside the block's extent.
inline constexpr int kNewBuildingsPerPlace = 3;
// Pipe lines of the Zamosc utility WFS inside the block: layers and lines per layer.
inline constexpr int kPipeLayers = 3;
inline constexpr int kPipesPerLayer = 5;

// A county WFS of the geoportal2 server family: the service's feature answers in that family's shape
// (its namespace, geometry in "ewns:geometria" as a multi-surface or multi-curve).
SimHandler geoportal2Wfs(std::shared_ptr<WfsService> service);

// A WFS that answers feature requests only where it has features; the others go on to the routes bound before
// (a second data set on the same national service).
SimHandler wfsOverEarlierRoutes(std::shared_ptr<WfsService> service);

// Hosts and paths of the national services.
std::string hostOf(const std::string& url);
std::string pathOf(const std::string& url);

}  // namespace poland

// County services of the scenario (land registers, utilities, base maps).
void addPolandCountyServices(Scenario& scenario);
// The scenario: demo services plus the places above.
void buildPolandScenario(Scenario& scenario);

}  // namespace sim
