// A georeferenced project with every element kind on its own layers, for the export tests.
#pragma once
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <string>

#include "model/ModelHost.h"
#include "support/TestSupport.h"
#include "support/Tetrahedron.h"

namespace exporttest {

inline std::int32_t addLayer(model::ModelHost& h, const std::string& name) {
    host::Attribute layer{.kind = host::kAttrLayer, .name = name};
    EXPECT_EQ(h.createAttribute(layer), host::kHostOk);
    return layer.index;
}

inline std::vector<std::uint8_t> tinyPng() {
    return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
            0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
            0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF,
            0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
}

// Survey point of the project: zone 6 (EPSG:2178) coordinates of its origin.
constexpr double kSurveyE = 6500123.25;
constexpr double kSurveyN = 5790456.5;

// What the project holds, by layer name: the elements an independent DXF reader sees.
struct Sample {
    std::map<std::string, std::size_t> vectorEntities;  // polylines, texts, fills and polyface meshes
    std::size_t triangles = 0;
};

// Layers: GIS_DZIALKI (2 polylines, one with an arc, and a text), GIS_BUDYNKI (solid coloured fill
// with a hole), GIS_POG (hatch), GIS_ORTO (a picture), GIS_TEREN (mesh), GIS_BRYLY (slab and
// morph), PUSTA (no elements).
inline Sample populate(model::ModelHost& h) {
    Sample s;
    const auto parcels = addLayer(h, "GIS_DZIALKI");
    const auto buildings = addLayer(h, "GIS_BUDYNKI");
    const auto plan = addLayer(h, "GIS_POG");
    const auto ortho = addLayer(h, "GIS_ORTO");
    const auto terrain = addLayer(h, "GIS_TEREN");
    const auto solids = addLayer(h, "GIS_BRYLY");
    addLayer(h, "PUSTA");
    host::ElementId id;

    host::PolylineElement p;
    EXPECT_EQ(h.defaultPolyline(p), host::kHostOk);
    p.layer = parcels;
    p.points = {{0, 0}, {40, 0}, {40, 30}, {0, 30}, {0, 0}};
    EXPECT_EQ(h.createPolyline(p, id), host::kHostOk);
    p.points = {{50, 0}, {60, 0}};
    p.arcs = {{0, 1, 3.141592653589793}};  // a half circle
    EXPECT_EQ(h.createPolyline(p, id), host::kHostOk);

    host::TextElement t;
    EXPECT_EQ(h.defaultText(t), host::kHostOk);
    t.layer = parcels;
    t.position = {20.5, 15.25};
    t.content = "Działka 12/3";
    t.anchor = 4;
    t.size = 1.5;
    EXPECT_EQ(h.createText(t, id), host::kHostOk);
    s.vectorEntities["GIS_DZIALKI"] = 3;

    host::FillElement f;
    EXPECT_EQ(h.defaultFill(f), host::kHostOk);
    f.layer = buildings;
    f.fillType = 1;  // "Pelne", solid
    f.useOwnColour = true;
    f.ownColour = {0.55, 0.48, 0.42};
    f.contours = {{{5, 5}, {15, 5}, {15, 15}, {5, 15}, {5, 5}}, {{8, 8}, {8, 10}, {10, 10}, {10, 8}, {8, 8}}};
    EXPECT_EQ(h.createFill(f, id), host::kHostOk);
    s.vectorEntities["GIS_BUDYNKI"] = 1;

    f.layer = plan;
    f.fillType = 3;  // "Kreskowanie pionowe", vectorial
    f.useOwnColour = false;
    f.contours = {{{20, 20}, {30, 20}, {30, 28}, {20, 28}}};
    EXPECT_EQ(h.createFill(f, id), host::kHostOk);
    s.vectorEntities["GIS_POG"] = 1;

    host::PictureElement pic;
    EXPECT_EQ(h.defaultPicture(pic), host::kHostOk);
    pic.layer = ortho;
    pic.boxMin = {-10, -10};
    pic.boxMax = {70, 40};
    pic.bytes = tinyPng();
    EXPECT_EQ(h.createPicture(pic, id), host::kHostOk);

    host::MeshElement m;
    EXPECT_EQ(h.defaultMesh(m), host::kHostOk);
    m.layer = terrain;
    m.level = 100.0;
    m.outline = {{0, 0, 1}, {40, 0, 2}, {40, 30, 3}, {20, 35, 2.5}, {0, 30, 1.5}};  // 5 corners: 3 triangles
    EXPECT_EQ(h.createMesh(m, id), host::kHostOk);
    s.vectorEntities["GIS_TEREN"] = 1;

    host::SlabElement slab;
    EXPECT_EQ(h.defaultSlab(slab), host::kHostOk);
    slab.layer = solids;
    slab.level = 101.0;
    slab.thickness = 0.5;
    slab.contours = {{{5, 5}, {15, 5}, {15, 15}, {5, 15}, {5, 5}}, {{8, 8}, {8, 10}, {10, 10}, {10, 8}, {8, 8}}};
    EXPECT_EQ(h.createSlab(slab, id), host::kHostOk);
    // Top and bottom: 8 ring points need 8 triangles each; sides: 8 edges, 2 triangles each.
    std::size_t slabFaces = 8 * 2 + 8 * 2;

    host::MorphElement morph = testsupport::tetrahedron(h, {{{30, 5, 101}, {35, 5, 101}, {30, 10, 101}, {30, 5, 106}}});
    morph.layer = solids;
    EXPECT_EQ(h.createMorph(morph, id), host::kHostOk);
    s.vectorEntities["GIS_BRYLY"] = 2;
    s.triangles = 3 + slabFaces + 4;

    host::GeoLocation g;
    EXPECT_EQ(h.readGeoLocation(g), host::kHostOk);
    g.crsName = "EPSG:2178";
    g.surveyEasting = kSurveyE;
    g.surveyNorthing = kSurveyN;
    g.xAxisAbscissa = 1.0;
    g.xAxisOrdinate = 0.0;
    EXPECT_EQ(h.writeGeoLocation(g), host::kHostOk);
    return s;
}

struct ProgramRun {
    int exitCode = -1;
    std::string output;
};

// Runs a shell command line, collecting standard output and error.
inline ProgramRun runCommand(const std::string& command, const std::filesystem::path& outFile) {
    ProgramRun run;
    const int status = std::system((command + " > '" + outFile.string() + "' 2>&1").c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = testsupport::readFile(outFile);
    return run;
}

inline bool haveOgrinfo() { return std::system("ogrinfo --version > /dev/null 2>&1") == 0; }

}  // namespace exporttest
