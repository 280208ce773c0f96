// Export of a project: files written, DXF read back by GDAL, GeoJSON in zone coordinates, SVG well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "ExportFixture.h"
#include "IndependentReaders.h"
#include "exporter/DxfWriter.h"
#include "exporter/ExportGeometry.h"
#include "exporter/ExportedPicture.h"
#include "exporter/ModelExport.h"
#include "platform/Numbers.h"

using namespace exporter;
using namespace exporttest;
namespace fs = std::filesystem;

namespace {

struct Exported {
    testsupport::TempDir dir;
    model::ModelHost host;
    Sample sample;
    ModelSnapshot snapshot;
    ExportResult result;
    Exported() {
        sample = populate(host);
        EXPECT_EQ(snapshotModel(host, snapshot), host::kHostOk);
        result = exportModel(snapshot, dir.path);
    }
};

// Runs ogrinfo with arguments; its output, or the test fails.
std::string ogrinfo(const fs::path& dir, const std::string& args) {
    const ProgramRun run = runCommand("ogrinfo -ro " + args, dir / "ogrinfo.txt");
    EXPECT_EQ(run.exitCode, 0) << args << "\n" << run.output;
    EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << args << "\n" << run.output;
    return run.output;
}

double triangleArea(const host::HostPoint2& a, const host::HostPoint2& b, const host::HostPoint2& c) {
    return ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2.0;
}

}  // namespace

TEST(ModelExport, WritesEveryFileWithTheStructureReadersNeed) {
    Exported e;
    ASSERT_TRUE(e.result.ok) << e.result.error;
    EXPECT_TRUE(e.result.georeferenced);
    EXPECT_EQ(e.result.files, (std::vector<std::string>{"images/obraz_1.png", "model.dxf", "model.geojson", "plan.svg",
                                                        "model.glb", "model.ifc"}));
    for (const auto& name : e.result.files) EXPECT_TRUE(fs::is_regular_file(e.dir / name)) << name;
    EXPECT_EQ(e.result.dxfImages, 1u);
    const auto png = tinyPng();
    EXPECT_EQ(testsupport::readFile(e.dir / "images/obraz_1.png"), std::string(png.begin(), png.end()));
    for (const auto& entry : fs::recursive_directory_iterator(e.dir.path))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

    const std::string dxf = testsupport::readFile(e.dir / "model.dxf");
    // The half circle is one bulge of tan(pi/4) = 1; the pattern hatch keeps the fill's name.
    for (const char* piece : {"  9\n$ACADVER\n  1\nAC1015\n", "  9\n$INSUNITS\n 70\n6\n", " 42\n1\n",
                              "  9\n$DWGCODEPAGE\n  3\nANSI_1250\n", "Dzia\xB3ka 12/3", "  2\nSOLID\n 70\n1\n",
                              "  2\nANSI31\n 70\n0\n", "1001\nGEODRAFT\n1000\nKreskowanie pionowe\n", "  0\nIMAGE\n",
                              "  0\nIMAGEDEF\n", "  1\nimages/obraz_1.png\n"})
        EXPECT_NE(dxf.find(piece), std::string::npos) << piece;
    for (const char* section : {"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"})
        EXPECT_NE(dxf.find(std::string("  0\nSECTION\n  2\n") + section + "\n"), std::string::npos) << section;
    // Every layer of the project is in the LAYER table, also one without elements.
    for (const auto& layer : e.snapshot.layers)
        EXPECT_NE(dxf.find("AcDbLayerTableRecord\n  2\n" + layer.name + "\n"), std::string::npos) << layer.name;
    EXPECT_EQ(dxfString("\xC5\xBC\xC3\xB3\xC5\x82w \xE2\x86\x92 \xF0\x9F\x99\x82\x01"), "\xBF\xF3\xB3w \\U+2192 ?");
    std::set<std::string> handles;
    std::istringstream lines(dxf);
    std::string code, value;
    while (std::getline(lines, code) && std::getline(lines, value))
        if ((code == "  5" || code == "105") && !handles.insert(value).second) ADD_FAILURE() << "handle " << value;
    EXPECT_GT(handles.size(), 60u);

    // The SVG plan: one colour per layer, a legend, north up.
    pugi::xml_document doc;
    const auto parsed = doc.load_file((e.dir / "plan.svg").c_str());
    ASSERT_TRUE(parsed) << parsed.description();
    const auto svg = doc.child("svg");
    ASSERT_TRUE(svg);
    std::set<std::string> layers, colours, legendNames;
    for (const auto& g : svg.children("g"))
        if (std::string(g.attribute("class").value()) == "warstwa")
            layers.insert(g.attribute("data-layer").value()), colours.insert(g.attribute("stroke").value());
    EXPECT_EQ(layers,
              (std::set<std::string>{"GIS_DZIALKI", "GIS_BUDYNKI", "GIS_POG", "GIS_TEREN", "GIS_BRYLY", "GIS_ORTO"}));
    EXPECT_EQ(colours.size(), layers.size());
    for (const auto& t : svg.find_child_by_attribute("g", "id", "legenda").children("text"))
        legendNames.insert(t.text().get());
    EXPECT_TRUE(std::includes(legendNames.begin(), legendNames.end(), layers.begin(), layers.end()));
    // North up: the text at y = 15.25 lies below the top of the picture box at y = 40.
    const auto text = svg.find_node([](const pugi::xml_node& n) {
        return std::string(n.name()) == "text" && std::string(n.text().get()) == "Działka 12/3";
    });
    ASSERT_TRUE(text);
    double textY = 0;
    ASSERT_TRUE(platform::parseDouble(text.attribute("y").value(), textY));
    EXPECT_NEAR(textY, 20.0 + (40.0 - 15.25) * 1000.0 / 80.0, 1e-3);  // margin + flipped distance x scale
}

TEST(ModelExport, GdalReadsTheDxfWithTheSameLayersCountsHoleArcAndText) {
    if (!haveOgrinfo()) GTEST_SKIP() << "ogrinfo (gdal-bin) not installed";
    Exported e;
    ASSERT_TRUE(e.result.ok);
    const std::string file = " '" + (e.dir / "model.dxf").string() + "'";
    // The 2D entities per layer in one query: their area (the hatch keeps its hole: 100 - 4 m2) and the lowest
    // point (GDAL draws the bulge on the same side as the GeoJSON arc). Polyface meshes are polyhedral surfaces,
    // which GDAL's SQL cannot take: they are read one by one below.
    const std::string out =
        ogrinfo(e.dir.path,
                "-q -dialect SQLite -sql \"SELECT Layer, COUNT(*) AS n, SUM(ST_Area(GEOMETRY)) AS a, "
                "MIN(ST_MinY(GEOMETRY)) AS y FROM entities WHERE SubClasses NOT LIKE '%PolyFace%' "
                "GROUP BY Layer\"" +
                    file);
    std::map<std::string, std::size_t> counts;
    std::map<std::string, double> area, low;
    const std::regex row(
        R"(Layer \(String\) = (\S+)\n  n \(Integer\) = (\d+)\n  a \(Real\) = (\S+)\n  y \(Real\) = (\S+))");
    for (std::sregex_iterator it(out.begin(), out.end(), row), end; it != end; ++it) {
        counts[(*it)[1]] = std::stoul((*it)[2]);
        platform::parseDouble((*it)[3].str(), area[(*it)[1]]);
        platform::parseDouble((*it)[4].str(), low[(*it)[1]]);
    }
    EXPECT_NEAR(area["GIS_BUDYNKI"], 96.0, 1e-6) << out;
    EXPECT_NEAR(low["GIS_DZIALKI"], -5.0, 0.05) << out;
    // The polyface meshes: one per element, the terrain's triangles facing up and covering its outline.
    const std::string meshes = ogrinfo(e.dir.path, "-q -al -where \"SubClasses LIKE '%PolyFace%'\"" + file);
    const std::regex surface(R"(Layer \(String\) = (\S+)\n(?:  .*\n)*?  POLYHEDRALSURFACE Z \((.*)\))");
    for (std::sregex_iterator it(meshes.begin(), meshes.end(), surface), end; it != end; ++it) {
        ++counts[(*it)[1]];
        if ((*it)[1] != "GIS_TEREN") continue;
        const std::string faces = (*it)[2];
        const std::regex triangle(R"(\(\((\S+) (\S+) \S+,(\S+) (\S+) \S+,(\S+) (\S+) \S+,)");
        for (std::sregex_iterator t(faces.begin(), faces.end(), triangle); t != end; ++t) {
            double v[6];
            for (int k = 0; k < 6; ++k) platform::parseDouble((*t)[k + 1].str(), v[k]);
            const double twice = (v[2] - v[0]) * (v[5] - v[1]) - (v[3] - v[1]) * (v[4] - v[0]);
            EXPECT_GT(twice, 0.0) << "a terrain triangle faces down";
            area["GIS_TEREN"] += twice / 2;
        }
    }
    EXPECT_EQ(counts, e.sample.vectorEntities) << out << meshes;
    EXPECT_NEAR(area["GIS_TEREN"], 1300.0, 1e-6) << meshes;
    const std::string text = ogrinfo(e.dir.path, "-q -sql \"SELECT Text FROM entities WHERE Text IS NOT NULL\"" + file);
    EXPECT_NE(text.find("Działka 12/3"), std::string::npos) << text;
    EXPECT_NE(text.find("POINT Z (20.5 15.25 0)"), std::string::npos) << text;
}

TEST(ModelExport, GeoJsonIsInZoneCoordinatesAndGdalReadsIt) {
    Exported e;
    const auto doc = nlohmann::json::parse(testsupport::readFile(e.dir / "model.geojson"));
    EXPECT_EQ(doc["crs"]["properties"]["name"], "urn:ogc:def:crs:EPSG::2178");
    std::map<std::string, int> kinds;
    for (const auto& f : doc["features"]) {
        ++kinds[f["properties"]["kind"].get<std::string>()];
        if (f["properties"]["kind"] == "text") {
            EXPECT_EQ(f["properties"]["layer"], "GIS_DZIALKI");
            EXPECT_EQ(f["properties"]["text"], "Działka 12/3");
            EXPECT_DOUBLE_EQ(f["geometry"]["coordinates"][0].get<double>(), kSurveyE + 20.5);
            EXPECT_DOUBLE_EQ(f["geometry"]["coordinates"][1].get<double>(), kSurveyN + 15.25);
        }
        if (f["properties"]["kind"] == "fill" && f["properties"]["layer"] == "GIS_BUDYNKI") {
            const auto& rings = f["geometry"]["coordinates"];
            ASSERT_EQ(rings.size(), 2u);  // outline and hole
            EXPECT_DOUBLE_EQ(rings[1][0][0].get<double>(), kSurveyE + 8.0);
        }
        if (f["geometry"]["type"] == "LineString" && f["geometry"]["coordinates"].size() > 5) {
            // The half circle from (50, 0) to (60, 0): every point 5 m from (55, 0), on the right of
            // the chord as the DXF bulge of +1 draws it.
            double lowest = 0;
            for (const auto& p : f["geometry"]["coordinates"]) {
                EXPECT_NEAR(std::hypot(p[0].get<double>() - kSurveyE - 55.0, p[1].get<double>() - kSurveyN), 5.0, 1e-6);
                lowest = std::min(lowest, p[1].get<double>() - kSurveyN);
            }
            EXPECT_NEAR(lowest, -5.0, 1e-9);
        }
    }
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"fill", 2}, {"polyline", 2}, {"text", 1}}));

    if (!haveOgrinfo()) GTEST_SKIP() << "ogrinfo (gdal-bin) not installed";
    const std::string out = ogrinfo(e.dir.path, "-al -so '" + (e.dir / "model.geojson").string() + "'");
    EXPECT_NE(out.find("Feature Count: 5\n"), std::string::npos) << out;
    EXPECT_NE(out.find("2178"), std::string::npos) << out;
}

TEST(ModelExport, TurnedGridMissingCrsAndUnwritableFolderAreHandled) {
    model::ModelHost h;
    populate(h);
    ModelSnapshot snapshot = snapshotOf(h.state());
    snapshot.geoLocation.crsName = "";
    snapshot.geoLocation.xAxisAbscissa = 0.0;  // project x axis points north in the zone
    snapshot.geoLocation.xAxisOrdinate = 2.0;
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "plik", "x");  // a file where the folder should be
    const ExportResult refused = exportModel(snapshot, dir / "plik");
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("Nie mozna"), std::string::npos) << refused.error;
    ASSERT_TRUE(exportModel(snapshot, dir.path).ok);
    const auto doc = nlohmann::json::parse(testsupport::readFile(dir / "model.geojson"));
    EXPECT_FALSE(doc.contains("crs"));
    for (const auto& f : doc["features"]) {
        if (f["properties"]["kind"] != "text") continue;
        EXPECT_NEAR(f["geometry"]["coordinates"][0].get<double>(), kSurveyE - 15.25, 1e-9);
        EXPECT_NEAR(f["geometry"]["coordinates"][1].get<double>(), kSurveyN + 20.5, 1e-9);
    }
}

TEST(ModelExport, MarkupAndOddInputsStayWellFormed) {
    model::ModelHost h;
    const auto layer = addLayer(h, "A&B <\"x\">");
    addLayer(h, "gis");
    addLayer(h, "GIS");
    addLayer(h, " 0 ");
    const auto polish = addLayer(h, "Bryły żółte");
    host::ElementId id;
    ASSERT_EQ(h.createText({.layer = layer, .content = "</text><script>&\x01 {linia} 1\nlinia 2"}, id), host::kHostOk);
    ASSERT_EQ(h.createSlab({.layer = polish, .contours = {{{0, 0}, {4, 0}, {4, 3}, {0, 0}}}}, id), host::kHostOk);
    // Bytes neither PNG nor JPEG.
    ASSERT_EQ(h.createPicture({.layer = layer, .boxMax = {1, 1}, .bytes = {'n', 'i', 'c'}}, id), host::kHostOk);
    ModelSnapshot snapshot = snapshotOf(h.state());
    testsupport::TempDir dir;
    const ExportResult result = exportModel(snapshot, dir.path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.picturesSkipped, 1u);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dir / "plan.svg").c_str()));
    const std::string dxf = testsupport::readFile(dir / "model.dxf");
    EXPECT_NE(dxf.find("\\{linia\\} 1\\Plinia 2"), std::string::npos);
    EXPECT_EQ(dxf.find('\x01'), std::string::npos);
    // Layer names a drawing may not hold are made valid and kept apart.
    const auto names = dxfLayerNames(snapshot);
    EXPECT_EQ(names,
              (std::vector<std::string>{"0", "Warstwa podstawowa", "A&B __x__", "gis", "GIS_2", "0_2", "Bryły żółte"}));
    EXPECT_NE(dxf.find("  8\nA&B __x__\n"), std::string::npos);
    // Every entity and every point of a polyface names its layer as the layer table does, in the file's code page.
    std::set<std::string> known;
    for (const auto& name : names) known.insert(dxfString(name));
    std::istringstream groups(dxf);
    for (std::string code, value; std::getline(groups, code) && std::getline(groups, value);)
        if (code == "  8") {
            EXPECT_TRUE(known.count(value)) << value;
        }
    EXPECT_TRUE(nlohmann::json::accept(testsupport::readFile(dir / "model.geojson")));

    // An empty project still gives three readable files.
    testsupport::TempDir dir2;
    const ExportResult bare = exportModel(snapshotOf(model::ModelHost().state()), dir2.path);
    ASSERT_TRUE(bare.ok);
    EXPECT_FALSE(bare.georeferenced);
    ASSERT_TRUE(doc.load_file((dir2 / "plan.svg").c_str()));
    if (haveOgrinfo()) ogrinfo(dir2.path, "-al -so '" + (dir2 / "model.dxf").string() + "'");
}

TEST(ModelExport, CoordinatesNearTheLimitsOfDoublesNeverWriteNanOrInfinity) {
    model::ModelHost h;
    const auto layer = addLayer(h, "A");
    host::ElementId id;
    ASSERT_EQ(h.createPolyline({.layer = layer, .points = {{-1.7e308, 0}, {1.7e308, 1e308}, {0, -1.7e308}}}, id),
              host::kHostOk);
    ASSERT_EQ(h.createText({.layer = layer, .position = {1e308, -1e308}, .size = 1e308, .content = "x"}, id),
              host::kHostOk);
    testsupport::TempDir dir;
    ASSERT_TRUE(exportModel(snapshotOf(h.state()), dir.path).ok);
    for (const char* file : {"plan.svg", "model.dxf"}) {
        std::string text = testsupport::readFile(dir / file);
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(text.find("nan"), std::string::npos) << file;
        EXPECT_EQ(text.find("inf"), std::string::npos) << file;
    }
}

TEST(ModelExport, TrianglesCoverConcaveOutlinesWithHolesAndSlabFacesExactly) {
    // An L-shaped outline (clockwise, with a straight extra vertex) and two holes.
    const std::vector<std::vector<host::HostPoint2>> rings = {
        {{0, 0}, {0, 20}, {10, 20}, {10, 10}, {20, 10}, {30, 10}, {30, 0}, {0, 0}},
        {{2, 2}, {6, 2}, {6, 6}, {2, 6}},
        {{22, 2}, {26, 2}, {26, 7}, {22, 7}, {22, 2}},
    };
    std::vector<host::HostPoint2> pts;
    const auto tri = triangulateRings(rings, pts);
    ASSERT_EQ(tri.size() % 3, 0u);
    double area = 0;
    for (std::size_t i = 0; i < tri.size(); i += 3) {
        const double a = triangleArea(pts[tri[i]], pts[tri[i + 1]], pts[tri[i + 2]]);
        EXPECT_GT(a, 0.0) << "triangle " << i / 3 << " folded";
        area += a;
    }
    EXPECT_NEAR(area, 400.0 - 16.0 - 20.0, 1e-9);
    EXPECT_TRUE(triangulateRings({{{0, 0}, {1, 1}}}, pts).empty());

    // The slab's top and bottom cover its outline with the hole, facing up and down.
    model::ModelHost h;
    populate(h);
    const ModelSnapshot s = snapshotOf(h.state());
    for (const auto& el : s.elements) {
        if (el.header.type != host::kElemSlab) continue;
        const auto faces = facesOf(el);
        EXPECT_EQ(faces.size(), 32u);
        double top = 0, bottom = 0;
        for (const auto& f : faces) {
            const double a = triangleArea({f.a.x, f.a.y}, {f.b.x, f.b.y}, {f.c.x, f.c.y});
            if (f.a.z == 101.5 && f.b.z == 101.5 && f.c.z == 101.5) top += a;
            if (f.a.z == 101.0 && f.b.z == 101.0 && f.c.z == 101.0) bottom += a;
        }
        EXPECT_NEAR(top, 96.0, 1e-9);
        EXPECT_NEAR(bottom, -96.0, 1e-9);  // facing down
    }
}

TEST(ModelExport, ProgramWritesTheFilesAndRefusesBadInput) {
    testsupport::TempDir dir;
    model::ModelHost h;
    populate(h);
    const auto project = dir / "projekt.json";
    ASSERT_TRUE(h.saveProject(project).ok);
    const std::string program = "'" + (testsupport::binaryDir() / "app/geodraft").string() + "' export ";
    ProgramRun run =
        runCommand(program + "'" + project.string() + "' --out '" + (dir / "wynik").string() + "'", dir / "out.txt");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("GIS_BRYLY: 2\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("IFC: "), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_regular_file(dir / "wynik" / "model.dxf"));

    run = runCommand(program + "'" + project.string() + "'", dir / "out.txt");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("uzycie"), std::string::npos);
    run = runCommand(program + "'" + (dir / "brak.json").string() + "' --out '" + (dir / "x").string() + "'",
                     dir / "out.txt");
    EXPECT_EQ(run.exitCode, 1);
}

TEST(ModelExport, StrictDxfAuditFindsNoErrors) {
    // ezdxf's auditor checks handles, owners, tables and object links as AutoCAD does on opening.
    Exported e;
    ASSERT_TRUE(e.result.ok);
    const nlohmann::json report = readBack(e.dir / "model.dxf");
    if (report.is_null()) GTEST_SKIP() << "python3-ezdxf not installed";
    EXPECT_EQ(report["errors"], nlohmann::json::array());
    EXPECT_EQ(report["layers"], (nlohmann::json{"0", "Defpoints", "GIS_BRYLY", "GIS_BUDYNKI", "GIS_DZIALKI", "GIS_ORTO",
                                                "GIS_POG", "GIS_TEREN", "PUSTA", "Warstwa podstawowa"}));
    EXPECT_EQ(report["images"], nlohmann::json::array({"images/obraz_1.png"}));
}

TEST(ModelExport, PixelSizesComeFromPngAndJpegHeadersAndDamageIsRefused) {
    std::int32_t w = 0, h = 0;
    EXPECT_TRUE(imagePixelSize(tinyPng(), w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(1, 1));
    // SOI, an APP0 segment, then a baseline frame header of 64 x 32 pixels.
    const std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'J',  'F',  'I',  'F',
                                            0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x20, 0x00, 0x40, 0x03};
    EXPECT_EQ(imageExtension(jpeg), "jpg");
    EXPECT_TRUE(imagePixelSize(jpeg, w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(64, 32));
    // Every cut of either header is refused or read, never read past its end.
    const std::vector<std::uint8_t> png = tinyPng();
    for (const std::vector<std::uint8_t>* full : {&jpeg, &png}) {
        for (std::size_t n = 0; n < full->size(); ++n) {
            std::vector<std::uint8_t> cut(full->begin(), full->begin() + static_cast<std::ptrdiff_t>(n));
            std::int32_t cw = 0, ch = 0;
            if (imagePixelSize(cut, cw, ch)) {
                EXPECT_TRUE(cw > 0 && ch > 0);
            }
        }
    }
    std::vector<std::uint8_t> zeroLength = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xC0};
    EXPECT_FALSE(imagePixelSize(zeroLength, w, h));
    EXPECT_EQ(imageExtension({'G', 'I', 'F', '8'}), "");
}
