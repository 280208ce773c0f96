#include "BuildingPackages.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "Town.h"
#include "ZipWriter.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace packages {

namespace {

struct P3 {
    double x, y, z;
};

std::string posList(const std::vector<P3>& ring) {
    std::string text;
    for (std::size_t k = 0; k <= ring.size(); ++k) {  // closed: the first point again
        const P3& p = ring[k % ring.size()];
        text += platform::cformat(k == 0 ? "%.3f %.3f %.3f" : " %.3f %.3f %.3f", p.x, p.y, p.z);
    }
    return text;
}

std::string boundary(const char* tag, const std::vector<P3>& ring, const std::string& indent) {
    return indent + "    <gml:" + tag + ">\n" + indent + "      <gml:LinearRing>\n" + indent +
           "        <gml:posList srsDimension=\"3\">" + posList(ring) + "</gml:posList>\n" + indent +
           "      </gml:LinearRing>\n" + indent + "    </gml:" + tag + ">\n";
}

std::string polygon(const std::vector<P3>& ring, const std::string& indent, const std::vector<P3>& hole = {}) {
    return indent + "<gml:surfaceMember>\n" + indent + "  <gml:Polygon>\n" + boundary("exterior", ring, indent) +
           (hole.empty() ? std::string() : boundary("interior", hole, indent)) + indent + "  </gml:Polygon>\n" +
           indent + "</gml:surfaceMember>\n";
}

// A face and the hole in it (the inner yard of a courtyard building's ground and top).
struct Face {
    const char* kind;
    std::vector<P3> ring;
    std::vector<P3> hole;
};

// Walls of a prism from z0 to z1 along a ring (counter-clockwise outside, clockwise around a yard).
void prismWalls(const std::vector<geodesy::PlanarPoint>& ring, double z0, double z1, std::vector<Face>& out) {
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const geodesy::PlanarPoint& p = ring[k];
        const geodesy::PlanarPoint& q = ring[(k + 1) % ring.size()];
        out.push_back({"WallSurface", {{p.x, p.y, z0}, {q.x, q.y, z0}, {q.x, q.y, z1}, {p.x, p.y, z1}}, {}});
    }
}

// The faces of a box with a gable (ridge along the easting) or flat roof, each facing outward.
std::vector<Face> faces(const PackageBuilding& b, bool withRoof) {
    const double x0 = b.minE, x1 = b.maxE, y0 = b.minN, y1 = b.maxN, z0 = b.ground, ze = b.ground + b.height;
    const double ym = (y0 + y1) / 2, zr = withRoof && !b.flatRoof ? ze + 4.0 : ze;
    std::vector<Face> out;
    if (withRoof && !b.surfaces.empty()) {
        for (const PackageSurface& surface : b.surfaces) {
            Face face{surface.kind, {}, {}};
            for (const geodesy::SpatialPoint& q : surface.ring) face.ring.push_back({q.x, q.y, q.z});
            out.push_back(std::move(face));
        }
        return out;
    }
    if (!b.footprint.empty() && !withRoof) {
        // A prism over the outline: the ground facing down, a wall per edge (around the yard too), the top up.
        const auto level = [](const std::vector<geodesy::PlanarPoint>& ring, double z, bool reversed) {
            std::vector<P3> out3;
            for (const geodesy::PlanarPoint& p : ring) out3.push_back({p.x, p.y, z});
            if (reversed) std::reverse(out3.begin(), out3.end());
            return out3;
        };
        out.push_back({"GroundSurface", level(b.footprint, z0, true), level(b.courtyard, z0, true)});
        prismWalls(b.footprint, z0, ze, out);
        prismWalls(b.courtyard, z0, ze, out);
        out.push_back({"RoofSurface", level(b.footprint, ze, false), level(b.courtyard, ze, false)});
        return out;
    }
    out.push_back({"GroundSurface", {{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}, {}});
    out.push_back({"WallSurface", {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, ze}, {x0, y0, ze}}, {}});
    out.push_back({"WallSurface", {{x1, y1, z0}, {x0, y1, z0}, {x0, y1, ze}, {x1, y1, ze}}, {}});
    if (zr == ze) {
        out.push_back({"WallSurface", {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, ze}, {x0, y1, ze}}, {}});
        out.push_back({"WallSurface", {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, ze}, {x1, y0, ze}}, {}});
        out.push_back({"RoofSurface", {{x0, y0, ze}, {x1, y0, ze}, {x1, y1, ze}, {x0, y1, ze}}, {}});
    } else {
        out.push_back({"WallSurface", {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, ze}, {x0, ym, zr}, {x0, y1, ze}}, {}});
        out.push_back({"WallSurface", {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, ze}, {x1, ym, zr}, {x1, y0, ze}}, {}});
        out.push_back({"RoofSurface", {{x0, y0, ze}, {x1, y0, ze}, {x1, ym, zr}, {x0, ym, zr}}, {}});
        out.push_back({"RoofSurface", {{x1, y1, ze}, {x0, y1, ze}, {x0, ym, zr}, {x1, ym, zr}}, {}});
    }
    return out;
}

std::string lod1Building(const PackageBuilding& b) {
    std::string text = "  <core:cityObjectMember>\n    <bldg:Building gml:id=\"" + b.id +
                       "\">\n      <bldg:function>1110</bldg:function>\n"
                       "      <bldg:measuredHeight uom=\"urn:adv:uom:m\">" +
                       platform::cformat("%.2f", b.height) +
                       "</bldg:measuredHeight>\n      <bldg:lod1Solid>\n        <gml:Solid>\n          <gml:exterior>\n"
                       "            <gml:CompositeSurface>\n";
    for (const Face& face : faces(b, false)) text += polygon(face.ring, "              ", face.hole);
    return text +
           "            </gml:CompositeSurface>\n          </gml:exterior>\n        </gml:Solid>\n      "
           "</bldg:lod1Solid>\n"
           "    </bldg:Building>\n  </core:cityObjectMember>\n";
}

std::string lod2Building(const PackageBuilding& b) {
    const int roofType = b.roofType != 0 ? b.roofType : b.flatRoof ? 1000 : 1030;
    double top = b.ground + b.height + (b.flatRoof ? 0.0 : 4.0);
    if (!b.surfaces.empty()) {
        top = b.ground;
        for (const PackageSurface& surface : b.surfaces)
            for (const geodesy::SpatialPoint& q : surface.ring) top = std::max(top, q.z);
    }
    std::string text = "  <core:cityObjectMember>\n    <bldg:Building gml:id=\"" + b.id + "\">\n" +
                       "      <bldg:roofType>" + platform::cformat("%d", roofType) + "</bldg:roofType>\n" +
                       "      <bldg:measuredHeight uom=\"urn:adv:uom:m\">" + platform::cformat("%.2f", top - b.ground) +
                       "</bldg:measuredHeight>\n";
    int k = 0;
    for (const Face& face : faces(b, true)) {
        const char* kind = face.kind;
        const std::vector<P3>& ring = face.ring;
        text += std::string("      <bldg:boundedBy>\n        <bldg:") + kind + " gml:id=\"" + b.id + "_" +
                platform::cformat("%d", ++k) +
                "\">\n          <bldg:lod2MultiSurface>\n            <gml:MultiSurface srsName=\"EPSG:2180\" "
                "srsDimension=\"3\">\n" +
                polygon(ring, "              ") +
                "            </gml:MultiSurface>\n          </bldg:lod2MultiSurface>\n" + "        </bldg:" + kind +
                ">\n      </bldg:boundedBy>\n";
    }
    return text + "    </bldg:Building>\n  </core:cityObjectMember>\n";
}

// An LOD2 building of the town: the pieces of its footprint as ground, a wall under every edge up to the roof's
// edge (through the ridge where a gable meets it), the roof faces.
std::vector<PackageSurface> lod2Surfaces(const town::Building& b) {
    std::vector<PackageSurface> out;
    for (const auto& piece : b.pieces) {
        PackageSurface ground{"GroundSurface", {}};
        for (auto it = piece.rbegin(); it != piece.rend(); ++it) ground.ring.push_back({it->x, it->y, b.groundZ});
        out.push_back(std::move(ground));
    }
    // Roof corners over a point of the outline, and the corners lying on an edge between its ends.
    const auto same = [](const geodesy::SpatialPoint& q, const geodesy::PlanarPoint& p) {
        return std::fabs(q.x - p.x) < 0.005 && std::fabs(q.y - p.y) < 0.005;
    };
    const auto topAt = [&](const geodesy::PlanarPoint& p) {
        double z = b.eaveZ;
        bool found = false;
        for (const town::RoofFace& face : b.roofFaces)
            for (const geodesy::SpatialPoint& q : face.ring)
                if (same(q, p)) z = found ? std::max(z, q.z) : q.z, found = true;
        return z;
    };
    for (const auto* ring : {&b.outline, &b.courtyard}) {
        for (std::size_t k = 0; k < ring->size(); ++k) {
            const geodesy::PlanarPoint& p = (*ring)[k];
            const geodesy::PlanarPoint& q = (*ring)[(k + 1) % ring->size()];
            const double len = std::hypot(q.x - p.x, q.y - p.y);
            // Corners of the ground pieces below and of the roof faces above that lie on the edge split it.
            const auto onEdge = [&](const std::vector<geodesy::SpatialPoint>& corners, bool ascending) {
                std::vector<std::pair<double, geodesy::SpatialPoint>> found;
                for (const geodesy::SpatialPoint& r : corners) {
                    const double t = ((r.x - p.x) * (q.x - p.x) + (r.y - p.y) * (q.y - p.y)) / (len * len);
                    const double off = std::fabs((r.x - p.x) * (q.y - p.y) - (r.y - p.y) * (q.x - p.x)) / len;
                    if (t > 0.001 && t < 0.999 && off < 0.005 &&
                        std::none_of(found.begin(), found.end(), [&](const auto& e) {
                            return same(e.second, {r.x, r.y});
                        }))
                        found.push_back({t, r});
                }
                std::sort(found.begin(), found.end(), [ascending](const auto& a, const auto& c) {
                    return ascending ? a.first < c.first : a.first > c.first;
                });
                return found;
            };
            std::vector<geodesy::SpatialPoint> groundCorners, roofCorners;
            for (const auto& piece : b.pieces)
                for (const geodesy::PlanarPoint& c : piece) groundCorners.push_back({c.x, c.y, b.groundZ});
            for (const town::RoofFace& face : b.roofFaces)
                roofCorners.insert(roofCorners.end(), face.ring.begin(), face.ring.end());
            PackageSurface wall{"WallSurface", {{p.x, p.y, b.groundZ}}};
            for (const auto& [t, r] : onEdge(groundCorners, true)) wall.ring.push_back({r.x, r.y, b.groundZ});
            wall.ring.push_back({q.x, q.y, b.groundZ});
            wall.ring.push_back({q.x, q.y, topAt(q)});
            for (const auto& [t, r] : onEdge(roofCorners, false))
                wall.ring.push_back({r.x, r.y, std::max(r.z, b.eaveZ)});
            wall.ring.push_back({p.x, p.y, topAt(p)});
            out.push_back(std::move(wall));
        }
    }
    for (const town::RoofFace& face : b.roofFaces) out.push_back({"RoofSurface", face.ring});
    return out;
}

}  // namespace

PackageBuilding overFootprint(std::string id, std::vector<geodesy::PlanarPoint> footprint, double ground,
                              double height) {
    PackageBuilding p;
    p.id = std::move(id);
    p.minE = p.maxE = footprint[0].x;
    p.minN = p.maxN = footprint[0].y;
    for (const geodesy::PlanarPoint& q : footprint) {
        p.minE = std::min(p.minE, q.x), p.maxE = std::max(p.maxE, q.x);
        p.minN = std::min(p.minN, q.y), p.maxN = std::max(p.maxN, q.y);
    }
    p.ground = ground;
    p.height = height;
    p.footprint = std::move(footprint);
    return p;
}

std::vector<PackageBuilding> demoBuildings(bool lod2) {
    const town::Town& t = town::demoTown();
    std::vector<PackageBuilding> out;
    for (const town::Building& b : t.buildings) {
        double sumE = 0;
        for (const geodesy::PlanarPoint& p : b.outline) sumE += p.x;
        if (lod2 && sumE / static_cast<double>(b.outline.size()) >= t.centre.x) continue;
        // LOD1 blocks reach halfway up the roof.
        PackageBuilding p = overFootprint(std::string(lod2 ? "PL.PZGiK.994.BDOT10k." : "PL.PZGIK.994.BDOT10K.") + b.id,
                                          b.outline, b.groundZ, (b.eaveZ + b.ridgeZ) / 2 - b.groundZ);
        p.flatRoof = b.roof == town::Roof::Flat;
        p.courtyard = b.courtyard;
        if (lod2) {
            p.surfaces = lod2Surfaces(b);
            p.roofType = b.roof == town::Roof::Flat     ? 1000
                         : b.roof == town::Roof::Shed   ? 1010
                         : b.roof == town::Roof::Hipped ? 1040
                                                        : 1030;
        }
        out.push_back(std::move(p));
    }
    // One building far from the town, in a sheet of its own.
    PackageBuilding far{lod2 ? "PL.PZGiK.994.far_LOD2" : "PL.PZGIK.994.far_LOD1",
                        t.centre.x + 5000,
                        t.centre.y + 5000,
                        t.centre.x + 5020,
                        t.centre.y + 5012,
                        200.0,
                        9.0,
                        true};
    out.push_back(far);
    return out;
}

std::string sheetText(const std::vector<PackageBuilding>& buildings, bool lod2) {
    double minE = 1e300, minN = 1e300, maxE = -1e300, maxN = -1e300, minZ = 1e300, maxZ = -1e300;
    for (const PackageBuilding& b : buildings) {
        minE = std::min(minE, b.minE), minN = std::min(minN, b.minN), maxE = std::max(maxE, b.maxE);
        maxN = std::max(maxN, b.maxN), minZ = std::min(minZ, b.ground), maxZ = std::max(maxZ, b.ground + b.height + 4);
        for (const PackageSurface& surface : b.surfaces)
            for (const geodesy::SpatialPoint& q : surface.ring) maxZ = std::max(maxZ, q.z);
    }
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<core:CityModel xmlns:core=\"http://www.opengis.net/citygml/2.0\" "
        "xmlns:bldg=\"http://www.opengis.net/citygml/building/2.0\" xmlns:gml=\"http://www.opengis.net/gml\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.opengis.net/citygml/building/2.0 "
        "http://schemas.opengis.net/citygml/building/2.0/building.xsd\">\n"
        "  <gml:name>" +
        std::string(lod2 ? "LOD2" : "LOD1") +
        "</gml:name>\n  <gml:boundedBy>\n    <gml:Envelope srsName=\"urn:ogc:def:crs:EPSG::2180\" "
        "srsDimension=\"3\">\n" +
        platform::cformat("      <gml:lowerCorner>%.3f %.3f %.3f</gml:lowerCorner>\n", minE, minN, minZ) +
        platform::cformat("      <gml:upperCorner>%.3f %.3f %.3f</gml:upperCorner>\n", maxE, maxN, maxZ) +
        "    </gml:Envelope>\n  </gml:boundedBy>\n";
    for (const PackageBuilding& b : buildings) text += lod2 ? lod2Building(b) : lod1Building(b);
    return text + "</core:CityModel>\n";
}

std::string packageBytes(const std::vector<PackageBuilding>& buildings, bool lod2, const std::string& county) {
    std::map<std::pair<long long, long long>, std::vector<PackageBuilding>> sheets;
    for (const PackageBuilding& b : buildings)
        sheets[{static_cast<long long>(std::floor(b.minE / kSheetSize)),
                static_cast<long long>(std::floor(b.minN / kSheetSize))}]
            .push_back(b);
    ZipWriter zip;
    for (const auto& [corner, members] : sheets)
        zip.add(platform::cformat("%s_%s_%lld_%lld.gml", county.c_str(), lod2 ? "LOD2" : "LOD1",
                                  corner.first * static_cast<long long>(kSheetSize),
                                  corner.second * static_cast<long long>(kSheetSize)),
                sheetText(members, lod2));
    return zip.finish();
}

}  // namespace packages

namespace {

void addPackage(Scenario& scenario, bool lod2, std::vector<PackageBuilding> (*make)()) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const std::string host = ep.openData.substr(ep.openData.find("://") + 3);
    const std::string url = lod2 ? ep.buildings3dLod2(packages::kDemoCounty)
                                 : ep.buildings3dLod1(packages::kDemoLod1Year, packages::kDemoCounty);
    auto bytes = std::make_shared<std::pair<std::once_flag, std::string>>();
    scenario.addHandler(host, url.substr(url.find('/', url.find("://") + 3)),
                        [bytes, lod2, make](const SimRequest& request, SimResponse& response) {
                            if (request.method != "GET") return false;
                            std::call_once(bytes->first, [&] {
                                bytes->second = packages::packageBytes(make(), lod2, packages::kDemoCounty);
                            });
                            response.contentType = "application/zip";
                            response.body = bytes->second;
                            return true;
                        });
}

}  // namespace

void addBuildingPackages(Scenario& scenario) {
    addPackage(scenario, false, [] { return packages::demoBuildings(false); });
    addPackage(scenario, true, [] { return packages::demoBuildings(true); });
}

void addLod1Package(Scenario& scenario, std::vector<PackageBuilding> (*make)()) { addPackage(scenario, false, make); }

}  // namespace sim
