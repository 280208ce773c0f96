#include "buildings/CityGmlSheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "buildings/PackageSheet.h"
#include "buildings/detail/CityGmlXml.h"
#include "platform/Numbers.h"

namespace buildings {

using detail::GmlRing;

namespace {

// Vertices within this of the lowest height make a ground ring.
constexpr double kGroundTolerance = 0.01;

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

template <typename Visit>
void forEachBuilding(const pugi::xml_node& node, const Visit& visit) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (detail::isNamed(child, "Building")) visit(child);
        forEachBuilding(child, visit);
    }
}

// The footprint: the largest ring lying at the lowest height, else the ring with the lowest mean height.
const GmlRing* chooseFootprint(const std::vector<GmlRing>& rings, double minZ) {
    const GmlRing* best = nullptr;
    double bestArea = -1.0;
    for (const GmlRing& r : rings) {
        const bool ground =
            std::all_of(r.z.begin(), r.z.end(), [&](double z) { return std::abs(z - minZ) <= kGroundTolerance; });
        if (!ground) continue;
        const double area = ringArea(r.points);
        if (area > bestArea) {
            bestArea = area;
            best = &r;
        }
    }
    if (best) return best;
    double bestMean = std::numeric_limits<double>::infinity();
    for (const GmlRing& r : rings) {
        double sum = 0.0;
        for (double z : r.z) sum += z;
        const double mean = sum / static_cast<double>(r.z.size());
        if (mean < bestMean) {
            bestMean = mean;
            best = &r;
        }
    }
    return best;
}

bool closesElement(std::string_view text, std::string_view local) {
    const std::string tail = std::string(local) + ">";
    for (std::size_t at = text.find(tail); at != std::string_view::npos; at = text.find(tail, at + 1)) {
        std::size_t open = text.rfind('<', at);
        if (open != std::string_view::npos && open + 1 < text.size() && text[open + 1] == '/') return true;
    }
    return false;
}

}  // namespace

std::vector<Building3D> parseLod1Sheet(std::string_view text, const geodesy::Bbox& frame) {
    std::vector<Building3D> out;
    pugi::xml_document doc;
    if (!detail::parseSheetXml(text, doc)) return out;
    forEachBuilding(doc, [&](const pugi::xml_node& building) {
        const std::vector<GmlRing> rings = detail::collectRings(building);
        if (rings.empty()) return;
        double minZ = std::numeric_limits<double>::infinity(), maxZ = -minZ;
        for (const GmlRing& r : rings)
            for (double z : r.z) {
                minZ = std::min(minZ, z);
                maxZ = std::max(maxZ, z);
            }
        const GmlRing* footprint = chooseFootprint(rings, minZ);
        if (!footprint || footprint->points.size() < 3) return;
        double height = 0.0;
        if (pugi::xml_node measured = detail::firstChildNamed(building, "measuredHeight")) {
            double value = 0.0;
            if (platform::parseDouble(measured.child_value(), value) && value > 0.0) height = value;
        }
        if (!(height > 0.0)) height = maxZ - minZ;
        if (!(height > 0.0)) return;
        geodesy::Bbox box;
        bool any = false;
        extend(box, any, footprint->points);
        if (!extentsTouch(box, frame)) return;
        out.push_back({building.attribute("gml:id").value(), footprint->points, minZ, height});
    });
    return out;
}

std::vector<BuildingLod2> parseLod2Sheet(std::string_view text, const geodesy::Bbox& frame) {
    std::vector<BuildingLod2> out;
    pugi::xml_document doc;
    if (!detail::parseSheetXml(text, doc)) return out;
    forEachBuilding(doc, [&](const pugi::xml_node& building) {
        std::vector<GmlRing> rings = detail::collectRings(building);
        if (rings.empty()) return;
        BuildingLod2 b;
        b.id = building.attribute("gml:id").value();
        if (pugi::xml_node roof = detail::firstChildNamed(building, "roofType")) {
            std::string_view t = roof.child_value();
            while (!t.empty() && std::strchr(" \t\r\n", t.front())) t.remove_prefix(1);
            long long value = 0;
            if (std::from_chars(t.data(), t.data() + t.size(), value).ec == std::errc() &&
                value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
                b.roofType = static_cast<std::int32_t>(value);
        }
        geodesy::Bbox box;
        bool any = false;
        b.surfaces.reserve(rings.size());
        for (GmlRing& r : rings) {
            extend(box, any, r.points);
            b.surfaces.push_back({std::move(r.points), std::move(r.z)});
        }
        if (!extentsTouch(box, frame)) return;
        out.push_back(std::move(b));
    });
    return out;
}

bool sheetExtent(std::string_view text, geodesy::Bbox& extent) {
    if (text.empty()) return false;
    pugi::xml_document doc;
    // A prefix of a sheet is a cut-off document: whatever was read before the cut still counts.
    const bool whole =
        static_cast<bool>(doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto));
    // In a cut-off text the corners count only when the upper one was closed before the cut, so that no number
    // is taken half read.
    if (!whole && !closesElement(text, "upperCorner")) return false;
    const pugi::xml_node envelope = detail::firstDescendantNamed(doc, "Envelope");
    if (!envelope) return false;
    const pugi::xml_node lower = detail::firstChildNamed(envelope, "lowerCorner");
    const pugi::xml_node upper = detail::firstChildNamed(envelope, "upperCorner");
    if (!lower || !upper) return false;
    std::vector<double> lo, hi;
    detail::appendNumbers(lower.child_value(), lo);
    detail::appendNumbers(upper.child_value(), hi);
    if (lo.size() < 3 || hi.size() < 3) return false;
    extent = {lo[0], lo[1], hi[0], hi[1]};
    return true;
}

}  // namespace buildings
