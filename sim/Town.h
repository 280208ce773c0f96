// The demo town: a small place in a river valley, generated from a seed. Curving streets around a market square,
// a bridge over the river, parcels of irregular shapes along the streets with fields behind them, buildings of
// several footprints and roofs, trees, utility lines under the streets and the zones of its plans. Every service
// of the demo scenario (land register, building models, elevation and surface models, LiDAR, orthophoto) is drawn
// from this one description, so they agree with each other.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "geodesy/PlanarPoint.h"
#include "geodesy/SpatialPoint.h"

namespace sim::town {

enum class Shape { Rectangle, LShape, TShape, Courtyard };
enum class Roof { Flat, Gabled, Hipped, Shed };
enum class LandUse { Centre, Yard, Field, Meadow };

struct Street {
    std::string name;
    std::vector<geodesy::PlanarPoint> centre;  // PL-1992, every few metres
    double width = 10.0;                       // between the outer edges of the pavements
};

struct Parcel {
    std::string id;        // "061408_4.0001.123/2"
    std::string number;    // "123/2"
    std::string precinct;  // "0001"
    std::string precinctName;
    std::string landClass;     // land-use class of the register ("B", "R IIIa", ...)
    std::string landRegister;  // land and mortgage register number with its check digit
    std::string street;
    LandUse use = LandUse::Yard;
    std::vector<geodesy::PlanarPoint> ring;  // counter-clockwise, not closed
    double area = 0.0;                       // square metres
};

// A planar roof face, counter-clockwise seen from above.
struct RoofFace {
    std::vector<geodesy::SpatialPoint> ring;
};

struct Building {
    std::string id;  // "061408_4.0001.123/2.1_BUD"
    std::string parcelId;
    std::string kind;     // register class: "m" dwelling, "g" outbuilding, "h" shop, "s" school
    std::string address;  // street and house number, empty for outbuildings
    Shape shape = Shape::Rectangle;
    Roof roof = Roof::Gabled;
    std::vector<geodesy::PlanarPoint> outline;    // counter-clockwise, not closed
    std::vector<geodesy::PlanarPoint> courtyard;  // clockwise hole, empty for other shapes
    // Simple counter-clockwise polygons that tile the footprint once (the outline itself when there is no hole).
    std::vector<std::vector<geodesy::PlanarPoint>> pieces;
    std::vector<RoofFace> roofFaces;  // cover the footprint once
    double groundZ = 0.0, eaveZ = 0.0, ridgeZ = 0.0;
    int storeys = 1, basements = 0;
    std::uint32_t roofColour = 0xA04A3AFF;

    bool covers(geodesy::PlanarPoint p) const;
    // Height of the roof over a point the building covers.
    double roofHeight(geodesy::PlanarPoint p) const;
    double footprintArea() const;
};

struct Tree {
    geodesy::PlanarPoint centre;
    double radius = 3.0;
    double top = 0.0;        // crown top above sea level
    double crownBase = 0.0;  // where the crown starts
};

struct Pipe {
    std::string layer;  // "przewod_wodociagowy", ...
    std::string material;
    int diameter = 0;  // millimetres
    std::string street;
    std::vector<geodesy::PlanarPoint> line;
};

struct PlanZone {
    std::string designation;  // "3MN"
    std::string symbol;       // "MN"
    std::string name;
    std::vector<geodesy::PlanarPoint> ring;  // counter-clockwise, not closed
};

// What an airborne scanner sees at a point: the first surface and its LAS class.
struct Surface {
    double z = 0.0;
    std::uint8_t cls = 2;  // 2 ground, 5 high vegetation, 6 building, 9 water, 17 bridge deck
};

class Town {
public:
    std::string name;             // the municipality's name
    std::string teryt7;           // municipality code with its kind digit
    geodesy::PlanarPoint centre;  // PL-1992, the market square
    geodesy::Bbox extent;         // everything generated, PL-1992
    std::vector<Street> streets;
    std::vector<geodesy::PlanarPoint> river;  // centre line, west to east
    double riverWidth = 14.0;
    std::vector<geodesy::PlanarPoint> square;  // the market square's paved area
    std::vector<geodesy::PlanarPoint> park;    // the green in its middle
    std::vector<Parcel> parcels;
    std::vector<Building> buildings;
    std::vector<Tree> trees;
    std::vector<Pipe> pipes;
    std::vector<PlanZone> generalPlan;  // zones of the municipality's general plan
    std::vector<PlanZone> localPlan;    // zones of the local plan of the centre

    // Terrain height (the elevation model): a valley along the river, the water surface on the river.
    double groundHeight(double e, double n) const;
    double waterLevel(double e) const;
    // Signed distance from the river's centre line, positive north of it.
    double riverOffset(double e, double n) const;
    // The first surface seen from above (the surface model and LiDAR first returns).
    Surface surfaceAt(double e, double n) const;
    // Buildings whose outline box meets the box.
    std::vector<const Building*> buildingsIn(const geodesy::Bbox& box) const;
    std::vector<const Tree*> treesIn(const geodesy::Bbox& box) const;
    // The street and bridge deck over the river, when the point lies on it.
    bool onBridge(double e, double n, double* deckZ = nullptr) const;

    // Fills the lookup grid; called once the lists are complete.
    void index();

private:
    struct Cell {
        std::vector<int> buildings;
        std::vector<int> trees;
    };
    const Cell* cellAt(double e, double n) const;
    double gridMinE_ = 0, gridMinN_ = 0;
    int gridCols_ = 0, gridRows_ = 0;
    std::vector<Cell> grid_;
    std::vector<int> bridgeStreets_;
};

// The municipality the demo town stands in and the seed it is generated from.
inline constexpr const char* kTeryt7 = "0614083";
inline constexpr const char* kCounty = "0614";
inline constexpr std::uint32_t kDemoSeed = 1465;
// Feature types of the county's land register.
inline constexpr const char* kParcelType = "ewns:dzialki";
inline constexpr const char* kBuildingType = "ewns:budynki";

// A town generated from the seed (deterministic on every platform).
Town generateTown(std::uint32_t seed);
// The demo's town, generated on first use.
const Town& demoTown();

}  // namespace sim::town
