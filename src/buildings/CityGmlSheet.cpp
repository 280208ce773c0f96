#include "buildings/CityGmlSheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "buildings/PackageSheet.h"
#include "buildings/detail/CityGmlXml.h"
#include "buildings/detail/ExtentScanner.h"
#include "platform/Numbers.h"

namespace buildings {

using detail::GmlBuilding;
using detail::GmlMember;
using detail::GmlRing;
using detail::GmlSurface;
using detail::kUnmarkedLod;

namespace {

// Vertices within this of the lowest height make a ground ring.
constexpr double kGroundTolerance = 0.01;

// The level of detail a reader builds from, in order of preference: its own, then geometry under no lod
// property, then the others. A block cannot come from a flat LOD0 outline unless nothing else is there, a LOD2
// model never does.
constexpr std::size_t kLod1Order[] = {1, kUnmarkedLod, 2, 3, 4, 0};
constexpr std::size_t kLod2Order[] = {2, kUnmarkedLod, 3, 4, 1};

double ringArea(const std::vector<geodesy::PlanarPoint>& ring) {
    double s = 0.0;
    for (std::size_t i = 0, n = ring.size(); i < n; ++i) {
        const auto& p = ring[i];
        const auto& q = ring[(i + 1) % n];
        s += p.x * q.y - q.x * p.y;
    }
    return std::abs(s) / 2.0;
}

void extend(geodesy::Bbox& box, bool& any, const std::vector<geodesy::PlanarPoint>& points) {
    for (const auto& p : points) {
        if (!any) box = {p.x, p.y, p.x, p.y};
        any = true;
        box.minE = std::min(box.minE, p.x);
        box.minN = std::min(box.minN, p.y);
        box.maxE = std::max(box.maxE, p.x);
        box.maxN = std::max(box.maxN, p.y);
    }
}

template <typename Member, std::size_t N>
auto chosenLod(Member& member, const std::size_t (&order)[N]) -> decltype(&member.surfaces[0]) {
    for (std::size_t lod : order)
        if (!member.surfaces[lod].empty()) return &member.surfaces[lod];
    return nullptr;
}

// A damaged building is counted when what could be read of it touches the frame, or nothing could.
bool damagedInFrame(const GmlBuilding& b, const geodesy::Bbox& frame) {
    geodesy::Bbox box;
    bool any = false;
    for (const GmlMember& m : b.members)
        for (const auto& lod : m.surfaces)
            for (const GmlSurface& s : lod) extend(box, any, s.outer.points);
    return !any || extentsTouch(box, frame);
}

// The footprint: the largest exterior ring lying at the lowest height, else the one with the lowest mean height.
const GmlSurface* chooseFootprint(const std::vector<GmlSurface>& surfaces, double minZ) {
    const GmlSurface* best = nullptr;
    double bestArea = -1.0;
    for (const GmlSurface& s : surfaces) {
        const auto& z = s.outer.z;
        if (!std::all_of(z.begin(), z.end(), [&](double v) { return std::abs(v - minZ) <= kGroundTolerance; }))
            continue;
        const double area = ringArea(s.outer.points);
        if (area > bestArea) {
            bestArea = area;
            best = &s;
        }
    }
    if (best) return best;
    double bestMean = std::numeric_limits<double>::infinity();
    for (const GmlSurface& s : surfaces) {
        double sum = 0.0;
        for (double v : s.outer.z) sum += v;
        const double mean = sum / static_cast<double>(s.outer.z.size());
        if (mean < bestMean) {
            bestMean = mean;
            best = &s;
        }
    }
    return best;
}

double measuredHeight(const pugi::xml_node& element) {
    double value = 0.0;
    if (pugi::xml_node measured = detail::firstChildNamed(element, "measuredHeight"))
        if (platform::parseDouble(measured.child_value(), value) && value > 0.0) return value;
    return 0.0;
}

// The block of one member; false when it has no footprint or no height.
bool lod1Block(const GmlBuilding& building, const GmlMember& member, Building3D& out) {
    const std::vector<GmlSurface>* surfaces = chosenLod(member, kLod1Order);
    if (!surfaces) return false;
    double minZ = std::numeric_limits<double>::infinity(), maxZ = -minZ;
    for (const GmlSurface& s : *surfaces)
        for (double z : s.outer.z) {
            minZ = std::min(minZ, z);
            maxZ = std::max(maxZ, z);
        }
    const GmlSurface* footprint = chooseFootprint(*surfaces, minZ);
    if (!footprint || footprint->outer.points.size() < 3) return false;
    // The solid's own span is the block's height; the measured height (a roof's ridge in some sheets) only
    // where the geometry is flat.
    double height = maxZ - minZ;
    if (!(height > 0.0)) height = measuredHeight(member.element);
    if (!(height > 0.0)) height = measuredHeight(building.element);
    if (!(height > 0.0)) return false;
    out.id = building.element.attribute("gml:id").value();
    out.footprint = footprint->outer.points;
    out.groundZ = minZ;
    out.height = height;
    out.holes.clear();
    for (const GmlRing& hole : footprint->holes) out.holes.push_back(hole.points);
    return true;
}

std::int32_t roofTypeOf(const pugi::xml_node& building) {
    if (pugi::xml_node roof = detail::firstChildNamed(building, "roofType")) {
        std::string_view t = roof.child_value();
        while (!t.empty() && std::strchr(" \t\r\n", t.front())) t.remove_prefix(1);
        long long value = 0;
        if (std::from_chars(t.data(), t.data() + t.size(), value).ec == std::errc() &&
            value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(value);
    }
    return 0;
}

std::vector<GmlBuilding> readBuildings(std::string& text, pugi::xml_document& doc, SheetFindings* found) {
    if (!detail::parseSheetXml(text, doc)) {
        if (found) found->readable = false;
        return {};
    }
    return detail::collectBuildings(doc);
}

}  // namespace

std::vector<Building3D> parseLod1Sheet(std::string text, const geodesy::Bbox& frame, SheetFindings* found) {
    std::vector<Building3D> out;
    pugi::xml_document doc;
    for (const GmlBuilding& building : readBuildings(text, doc, found)) {
        if (building.damaged) {
            if (found && damagedInFrame(building, frame)) ++found->damaged;
            continue;
        }
        bool kept = false;
        for (const GmlMember& member : building.members) {
            Building3D block;
            if (!lod1Block(building, member, block)) continue;
            geodesy::Bbox box;
            bool any = false;
            extend(box, any, block.footprint);
            if (!extentsTouch(box, frame)) continue;
            out.push_back(std::move(block));
            kept = true;
        }
        if (found && kept) ++found->buildings;
    }
    return out;
}

std::vector<BuildingLod2> parseLod2Sheet(std::string text, const geodesy::Bbox& frame, SheetFindings* found) {
    std::vector<BuildingLod2> out;
    pugi::xml_document doc;
    for (GmlBuilding& building : readBuildings(text, doc, found)) {
        if (building.damaged) {
            if (found && damagedInFrame(building, frame)) ++found->damaged;
            continue;
        }
        BuildingLod2 b;
        b.id = building.element.attribute("gml:id").value();
        b.roofType = roofTypeOf(building.element);
        geodesy::Bbox box;
        bool any = false;
        for (GmlMember& member : building.members) {
            std::vector<GmlSurface>* surfaces = chosenLod(member, kLod2Order);
            if (!surfaces) continue;
            for (GmlSurface& s : *surfaces) {
                extend(box, any, s.outer.points);
                Lod2Surface surface{std::move(s.outer.points), std::move(s.outer.z), {}};
                for (GmlRing& hole : s.holes) surface.holes.push_back({std::move(hole.points), std::move(hole.z)});
                b.surfaces.push_back(std::move(surface));
            }
        }
        if (b.surfaces.empty() || !extentsTouch(box, frame)) continue;
        out.push_back(std::move(b));
        if (found) ++found->buildings;
    }
    return out;
}

bool sheetExtent(std::string_view text, geodesy::Bbox& extent) {
    detail::ExtentScanner scanner;
    scanner.feed(text);
    return scanner.extent(extent);
}

}  // namespace buildings
