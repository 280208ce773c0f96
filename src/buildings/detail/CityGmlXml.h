// XML helpers of the CityGML readers: local names, number lists, and the buildings of a sheet with their parts,
// levels of detail and rings, gathered in one pass that never recurses (a sheet decides how deep it nests).
#pragma once
#include <array>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "geodesy/PlanarPoint.h"

namespace buildings::detail {

// One LinearRing as read: planar points and their heights.
struct GmlRing {
    std::vector<geodesy::PlanarPoint> points;
    std::vector<double> z;
};

// An exterior ring with the interior rings of its polygon.
struct GmlSurface {
    GmlRing outer;
    std::vector<GmlRing> holes;
};

// Rings of the lod0 to lod4 properties, and of geometry under no such property (index kUnmarkedLod).
inline constexpr std::size_t kUnmarkedLod = 5;
using SurfacesByLod = std::array<std::vector<GmlSurface>, kUnmarkedLod + 1>;

// A building's own geometry, or one of its BuildingParts'.
struct GmlMember {
    pugi::xml_node element;
    SurfacesByLod surfaces;
};

// One Building element: its own geometry first, then its parts in document order.
struct GmlBuilding {
    pugi::xml_node element;
    std::vector<GmlMember> members;
    bool damaged = false;  // a ring with a word that is no number, numbers left over, or a point off every grid
};

// The element name without its namespace prefix.
std::string_view localName(const char* qualified);
// Whether the node is an element of that local name.
bool isNamed(const pugi::xml_node& node, std::string_view local);
// The first direct child element of that local name (empty node when none).
pugi::xml_node firstChildNamed(const pugi::xml_node& parent, std::string_view local);
// Every whitespace-separated number of the text, in order; false (and the numbers read so far) at a token that is
// not a finite number.
bool appendNumbers(std::string_view text, std::vector<double>& out);
// Whether a point lies where some Polish grid can hold it (eastings and northings of PL-1992 and PL-2000 with
// their zone digit, heights of the country with a wide margin). Other sheets whose numbers stay in that box
// (UTM, Gauss-Krueger, degrees) read as well.
bool onPolishGrid(double x, double y, double z);
// Every Building of the document (a Building nested in another counts as its own), with its rings.
std::vector<GmlBuilding> collectBuildings(const pugi::xml_document& doc);
// Parses a sheet's text in place; false when it is not readable XML.
bool parseSheetXml(std::string& text, pugi::xml_document& doc);

}  // namespace buildings::detail
