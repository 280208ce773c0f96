#include "BuildingPackages.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "ZipWriter.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace packages {

namespace {

// Centre of the demo area (PL-1992), as the demo scenario has it.
constexpr double kCentreE = 637382.0;
constexpr double kCentreN = 486757.0;

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

std::string polygon(const std::vector<P3>& ring, const std::string& indent) {
    return indent + "<gml:surfaceMember>\n" + indent + "  <gml:Polygon>\n" + indent + "    <gml:exterior>\n" + indent +
           "      <gml:LinearRing>\n" + indent + "        <gml:posList srsDimension=\"3\">" + posList(ring) +
           "</gml:posList>\n" + indent + "      </gml:LinearRing>\n" + indent + "    </gml:exterior>\n" + indent +
           "  </gml:Polygon>\n" + indent + "</gml:surfaceMember>\n";
}

// The faces of a box with a gable (ridge along the easting) or flat roof, each facing outward.
std::vector<std::pair<const char*, std::vector<P3>>> faces(const PackageBuilding& b, bool withRoof) {
    const double x0 = b.minE, x1 = b.maxE, y0 = b.minN, y1 = b.maxN, z0 = b.ground, ze = b.ground + b.height;
    const double ym = (y0 + y1) / 2, zr = withRoof && !b.flatRoof ? ze + 4.0 : ze;
    std::vector<std::pair<const char*, std::vector<P3>>> out;
    if (!b.footprint.empty() && !withRoof) {
        // A prism over the outline: the ground ring facing down, a wall per edge, the top facing up.
        std::vector<P3> ground, top;
        for (auto it = b.footprint.rbegin(); it != b.footprint.rend(); ++it) ground.push_back({it->x, it->y, z0});
        for (const geodesy::PlanarPoint& p : b.footprint) top.push_back({p.x, p.y, ze});
        out.push_back({"GroundSurface", ground});
        for (std::size_t k = 0; k < b.footprint.size(); ++k) {
            const geodesy::PlanarPoint& p = b.footprint[k];
            const geodesy::PlanarPoint& q = b.footprint[(k + 1) % b.footprint.size()];
            out.push_back({"WallSurface", {{p.x, p.y, z0}, {q.x, q.y, z0}, {q.x, q.y, ze}, {p.x, p.y, ze}}});
        }
        out.push_back({"RoofSurface", top});
        return out;
    }
    out.push_back({"GroundSurface", {{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}});
    out.push_back({"WallSurface", {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, ze}, {x0, y0, ze}}});
    out.push_back({"WallSurface", {{x1, y1, z0}, {x0, y1, z0}, {x0, y1, ze}, {x1, y1, ze}}});
    if (zr == ze) {
        out.push_back({"WallSurface", {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, ze}, {x0, y1, ze}}});
        out.push_back({"WallSurface", {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, ze}, {x1, y0, ze}}});
        out.push_back({"RoofSurface", {{x0, y0, ze}, {x1, y0, ze}, {x1, y1, ze}, {x0, y1, ze}}});
    } else {
        out.push_back({"WallSurface", {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, ze}, {x0, ym, zr}, {x0, y1, ze}}});
        out.push_back({"WallSurface", {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, ze}, {x1, ym, zr}, {x1, y0, ze}}});
        out.push_back({"RoofSurface", {{x0, y0, ze}, {x1, y0, ze}, {x1, ym, zr}, {x0, ym, zr}}});
        out.push_back({"RoofSurface", {{x1, y1, ze}, {x0, y1, ze}, {x0, ym, zr}, {x1, ym, zr}}});
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
    for (const auto& [kind, ring] : faces(b, false)) text += polygon(ring, "              ");
    return text +
           "            </gml:CompositeSurface>\n          </gml:exterior>\n        </gml:Solid>\n      "
           "</bldg:lod1Solid>\n"
           "    </bldg:Building>\n  </core:cityObjectMember>\n";
}

std::string lod2Building(const PackageBuilding& b) {
    std::string text = "  <core:cityObjectMember>\n    <bldg:Building gml:id=\"" + b.id + "\">\n" +
                       "      <bldg:roofType>" + (b.flatRoof ? "1000" : "1030") + "</bldg:roofType>\n" +
                       "      <bldg:measuredHeight uom=\"urn:adv:uom:m\">" +
                       platform::cformat("%.2f", b.height + (b.flatRoof ? 0.0 : 4.0)) + "</bldg:measuredHeight>\n";
    int k = 0;
    for (const auto& [kind, ring] : faces(b, true)) {
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

}  // namespace

std::vector<PackageBuilding> demoBuildings(bool lod2) {
    std::vector<PackageBuilding> out;
    int number = 1;
    // The land register's 20 x 20 parcels of 30 m: a building on every other one, at the parcel's footprint.
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j, ++number) {
            if ((i + j) % 2 != 0 || (lod2 && i >= 10)) continue;
            const double e0 = kCentreE - 300 + i * 30.0, n0 = kCentreN - 300 + j * 30.0;
            const double dx = e0 + 13.5 - kCentreE, dy = n0 + 12.5 - kCentreN;
            PackageBuilding b;
            b.id = std::string(lod2 ? "PL.PZGiK.994.BDOT10k." : "PL.PZGIK.994.BDOT10K.") + "146501_1.0001." +
                   platform::cformat("%d", number) + "_BUD";
            b.minE = e0 + 5, b.minN = n0 + 5, b.maxE = e0 + 22, b.maxN = n0 + 20;
            b.ground = std::round((100.0 + 0.01 * dx + 0.005 * dy) * 100.0) / 100.0;
            b.height = 12.0;
            b.flatRoof = number % 3 == 0;
            out.push_back(b);
        }
    // One building far from the demo area, in a sheet of its own.
    PackageBuilding far{lod2 ? "PL.PZGiK.994.far_LOD2" : "PL.PZGIK.994.far_LOD1",
                        kCentreE + 5000,
                        kCentreN + 5000,
                        kCentreE + 5020,
                        kCentreN + 5012,
                        120.0,
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
