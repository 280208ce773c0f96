#include "buildings/detail/CityGmlXml.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace buildings::detail {

namespace {

// The box of every Polish grid: PL-1992 and PL-2000 (zone digit included) eastings and northings are positive and
// below 10,000 km; heights of the country lie far inside +-10 km.
constexpr double kGridLimit = 1e7;
constexpr double kHeightLimit = 1e4;

// The level of detail a property's name gives ("lod2MultiSurface" gives 2), or -1.
int lodOf(std::string_view local) {
    if (local.size() < 4 || local.substr(0, 3) != "lod" || local[3] < '0' || local[3] > '4') return -1;
    return local[3] - '0';
}

enum class RingRead { Kept, Short, Damaged };

RingRead readRing(const pugi::xml_node& ring, GmlRing& out) {
    std::vector<double> numbers;
    for (pugi::xml_node child = ring.first_child(); child; child = child.next_sibling()) {
        if (isNamed(child, "pos")) {
            std::vector<double> one;
            if (!appendNumbers(child.child_value(), one) || one.size() < 3) return RingRead::Damaged;
            numbers.insert(numbers.end(), one.begin(), one.begin() + 3);
        } else if (isNamed(child, "posList")) {
            const std::size_t before = numbers.size();
            if (!appendNumbers(child.child_value(), numbers) || (numbers.size() - before) % 3 != 0)
                return RingRead::Damaged;
        }
    }
    for (std::size_t i = 0; i + 2 < numbers.size(); i += 3)
        if (!onPolishGrid(numbers[i], numbers[i + 1], numbers[i + 2])) return RingRead::Damaged;
    if (numbers.size() < 9) return RingRead::Short;
    out.points.reserve(numbers.size() / 3);
    out.z.reserve(numbers.size() / 3);
    for (std::size_t i = 0; i + 2 < numbers.size(); i += 3) {
        out.points.push_back({numbers[i], numbers[i + 1]});
        out.z.push_back(numbers[i + 2]);
    }
    return RingRead::Kept;
}

// Where the walk stands: the building and member that own the rings met, and their level of detail.
struct Owner {
    int building = -1;
    std::size_t member = 0;
    std::size_t lod = kUnmarkedLod;
};

// The walk through one document, in document order, with the owners of the elements it is inside.
class BuildingWalk {
public:
    std::vector<GmlBuilding> run(const pugi::xml_document& doc) {
        pugi::xml_node node = doc.first_child();
        while (node) {
            const bool descend = enter(node);
            if (descend && node.first_child()) {
                node = node.first_child();
                continue;
            }
            // Up until a next sibling: every element left gives its owner back.
            while (node) {
                leave(node);
                if (pugi::xml_node next = node.next_sibling()) {
                    node = next;
                    break;
                }
                node = node.parent();
                if (node == doc) node = pugi::xml_node();
            }
        }
        return std::move(buildings_);
    }

private:
    struct Saved {
        pugi::xml_node element;
        Owner owner;
    };

    bool enter(const pugi::xml_node& node) {
        if (node.type() != pugi::node_element) return false;
        const std::string_view local = localName(node.name());
        if (local == "Building" || (local == "BuildingPart" && owner_.building < 0)) {
            saved_.push_back({node, owner_});
            buildings_.push_back({node, {{node, {}}}, false});
            owner_ = {static_cast<int>(buildings_.size()) - 1, 0, kUnmarkedLod};
        } else if (local == "BuildingPart") {
            saved_.push_back({node, owner_});
            auto& members = buildings_[static_cast<std::size_t>(owner_.building)].members;
            members.push_back({node, {}});
            owner_ = {owner_.building, members.size() - 1, kUnmarkedLod};
        } else if (const int lod = lodOf(local); lod >= 0) {
            saved_.push_back({node, owner_});
            owner_.lod = static_cast<std::size_t>(lod);
        } else if (local == "LinearRing") {
            if (owner_.building >= 0) addRing(node);
            return false;
        }
        return true;
    }

    void leave(const pugi::xml_node& node) {
        if (!saved_.empty() && saved_.back().element == node) {
            owner_ = saved_.back().owner;
            saved_.pop_back();
        }
    }

    void addRing(const pugi::xml_node& node) {
        GmlBuilding& building = buildings_[static_cast<std::size_t>(owner_.building)];
        GmlRing ring;
        const RingRead read = readRing(node, ring);
        if (read == RingRead::Damaged) building.damaged = true;
        std::vector<GmlSurface>& surfaces = building.members[owner_.member].surfaces[owner_.lod];
        const pugi::xml_node role = node.parent();
        const pugi::xml_node polygon = role.parent();
        if (!isNamed(role, "interior") && !isNamed(role, "innerBoundaryIs")) {
            lastPolygon_ = polygon;
            lastOwner_ = owner_;
            lastKept_ = read == RingRead::Kept;
            if (lastKept_) surfaces.push_back({std::move(ring), {}});
            return;
        }
        if (read != RingRead::Kept) return;
        // A hole belongs to the exterior of its own polygon (and goes with it when that was dropped); one without
        // an exterior stands as a surface of its own.
        if (polygon && lastPolygon_ == polygon && lastOwner_.building == owner_.building &&
            lastOwner_.member == owner_.member && lastOwner_.lod == owner_.lod) {
            if (lastKept_) surfaces.back().holes.push_back(std::move(ring));
            return;
        }
        surfaces.push_back({std::move(ring), {}});
    }

    std::vector<GmlBuilding> buildings_;
    std::vector<Saved> saved_;
    Owner owner_;
    pugi::xml_node lastPolygon_;
    Owner lastOwner_;
    bool lastKept_ = false;
};

}  // namespace

std::string_view localName(const char* qualified) {
    const char* colon = std::strrchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}

bool isNamed(const pugi::xml_node& node, std::string_view local) {
    return node.type() == pugi::node_element && localName(node.name()) == local;
}

pugi::xml_node firstChildNamed(const pugi::xml_node& parent, std::string_view local) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (isNamed(child, local)) return child;
    return {};
}

bool appendNumbers(std::string_view text, std::vector<double>& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
        if (p == end) break;
        if (*p == '+') ++p;  // from_chars takes no plus sign
        double value = 0.0;
        const auto [next, ec] = std::from_chars(p, end, value);
        // "nan" and "inf" are no coordinates: the list is damaged there as at any other word.
        if (ec != std::errc() || !std::isfinite(value) || (next < end && !std::strchr(" \t\r\n", *next))) return false;
        out.push_back(value);
        p = next;
    }
    return true;
}

bool onPolishGrid(double x, double y, double z) {
    return x >= 0.0 && x <= kGridLimit && y >= 0.0 && y <= kGridLimit && z >= -kHeightLimit && z <= kHeightLimit;
}

std::vector<GmlBuilding> collectBuildings(const pugi::xml_document& doc) { return BuildingWalk().run(doc); }

bool parseSheetXml(std::string& text, pugi::xml_document& doc) {
    if (text.empty()) return false;
    return static_cast<bool>(
        doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto));
}

}  // namespace buildings::detail
