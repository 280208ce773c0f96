// XML helpers of the CityGML readers: local names, number lists and the rings of a building.
#pragma once
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

// The element name without its namespace prefix.
std::string_view localName(const char* qualified);
// Whether the node is an element of that local name.
bool isNamed(const pugi::xml_node& node, std::string_view local);
// The first direct child element of that local name (empty node when none).
pugi::xml_node firstChildNamed(const pugi::xml_node& parent, std::string_view local);
// The first element of that local name in document order below (and including) the node.
pugi::xml_node firstDescendantNamed(const pugi::xml_node& node, std::string_view local);
// Every whitespace-separated number of the text, in order; stops at the first token that is not a number.
void appendNumbers(std::string_view text, std::vector<double>& out);
// Every LinearRing below the element (depth first, not inside another ring), rings of fewer than 3 points dropped.
std::vector<GmlRing> collectRings(const pugi::xml_node& element);
// Parses a sheet's text; false when it is not readable XML.
bool parseSheetXml(std::string_view text, pugi::xml_document& doc);

}  // namespace buildings::detail
