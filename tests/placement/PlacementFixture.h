// A palette, a model host and a controller with a prepared fetch result, for placing through "place".
#pragma once
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "geodesy/Crs.h"
#include "import/FetchFrame.h"
#include "import/ImportFixture.h"
#include "settings/DataTypes.h"

namespace importer {

class PlacementFixture : public ImportFixture {
protected:
    // The map frame of every test: a few hundred metres of central Warsaw (zone 2178).
    static constexpr double kWest = 21.000, kSouth = 52.228, kEast = 21.010, kNorth = 52.234;

    geodesy::Bbox frame() const { return pl1992FrameFromWgs84(kWest, kSouth, kEast, kNorth); }
    geodesy::PlanarPoint centre() const { return frame().centre(); }
    // A PL-1992 point at metres (de, dn) from the frame centre.
    geodesy::PlanarPoint at(double de, double dn) const { return {centre().x + de, centre().y + dn}; }
    // Where a PL-1992 point must land in a project whose survey point is `origin` (zone 2178, no rotation).
    static host::HostPoint2 expected(geodesy::PlanarPoint p, geodesy::PlanarPoint origin, int epsg = 2178) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(p.x, p.y, epsg);
        return {z.x - origin.x, z.y - origin.y};
    }

    // An exact georeference: the survey point in zone 2178 at the given PL-1992 point.
    geodesy::PlanarPoint georeferenceExact(geodesy::PlanarPoint at1992, double rotation = 0.0,
                                           const std::string& crs = "EPSG:2178") {
        host::GeoLocation geo;
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(at1992, 2178);
        geo.crsName = crs;
        geo.surveyEasting = z.x;
        geo.surveyNorthing = z.y;
        geo.xAxisAbscissa = std::cos(rotation);
        geo.xAxisOrdinate = std::sin(rotation);
        EXPECT_EQ(model.writeGeoLocation(geo), host::kHostOk);
        return z;
    }
    // Only a project location (latitude, longitude) at a PL-1992 point.
    void georeferenceApproximate(geodesy::PlanarPoint at1992) {
        host::GeoLocation geo;
        const geodesy::LatLon ll = geodesy::pl1992ToWgs84(at1992);
        geo.latitude = ll.lat;
        geo.longitude = ll.lon;
        EXPECT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    }

    // Runs a "fetch" that yields the data, and waits for its "fetchDone".
    void fetchPrepared(const FetchedData& data, std::vector<std::string> layers = {"dzialki"}) {
        controller->setFetchFunction([data](auto&&...) { return data; });
        const auto replies =
            send(nlohmann::json{{"type", "fetch"}, {"bboxWgs84", {kWest, kSouth, kEast, kNorth}}, {"layers", layers}});
        ASSERT_TRUE(replies.empty() || replies[0].value("type", "") == "progress") << replies[0];
        settle();
        ASSERT_TRUE(controller->hasData());
    }
    nlohmann::json place() {
        const auto replies = send({{"type", "place"}});
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? nlohmann::json() : replies[0];
    }
    // Places, expecting "placeDone" with these counts; the answer.
    nlohmann::json placed(const nlohmann::json& counts) {
        const nlohmann::json done = place();
        EXPECT_EQ(done.value("type", ""), "placeDone") << done;
        EXPECT_EQ(done.value("counts", nlohmann::json()), counts) << done;
        return done;
    }

    void setSurveyHeight(double h) {
        host::GeoLocation geo = model.state().geoLocation;
        geo.surveyHeight = h;
        ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    }
    bool hasReport(const std::string& line) const {
        const auto& lines = model.reportLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Elements of one kind, in creation order.
    template <class T>
    std::vector<T> elements() const {
        std::vector<T> out;
        for (const model::StoredElement& e : model.state().elements)
            if (const T* body = std::get_if<T>(&e.body)) out.push_back(*body);
        return out;
    }
    std::int32_t layerIndex(const std::string& name) const {
        host::Attribute a;
        return const_cast<model::ModelHost&>(model).findAttribute(host::kAttrLayer, name, a) == host::kHostOk ? a.index
                                                                                                              : 0;
    }

    static gml::GisFeature square(formats::DataType type, geodesy::PlanarPoint c, double side) {
        gml::GisFeature f;
        f.type = type;
        f.polygons.push_back(
            gml::GisPolygon{{{c.x, c.y}, {c.x + side, c.y}, {c.x + side, c.y + side}, {c.x, c.y + side}}, {}});
        return f;
    }
    static RasterImage raster(geodesy::Bbox box, int epsg, formats::DataType type = formats::DataType::rastry) {
        RasterImage r;
        r.type = type;
        r.image = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";
        r.epsg = epsg;
        r.box = box;
        return r;
    }
    static terrain::TerrainPatch patch(double x0, double y0, double side, double zLow) {
        terrain::TerrainPatch p;
        p.minX = x0;
        p.minY = y0;
        p.maxX = x0 + side;
        p.maxY = y0 + side;
        for (int j = 0; j <= 2; ++j)
            for (int i = 0; i <= 2; ++i) p.points.push_back({x0 + i * side / 2, y0 + j * side / 2, zLow + i + j});
        return p;
    }
};

// Two points in project metres within a tolerance.
inline void expectNear(host::HostPoint2 actual, host::HostPoint2 wanted, double tolerance = 0.02) {
    EXPECT_NEAR(actual.x, wanted.x, tolerance);
    EXPECT_NEAR(actual.y, wanted.y, tolerance);
}

}  // namespace importer
