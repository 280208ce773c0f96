// The 3D elements as binary glTF: read back chunk by chunk, and checked by the Khronos validator.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "ExportFixture.h"
#include "exporter/ModelExport.h"

namespace {

using namespace exporttest;

std::uint32_t le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The JSON chunk and the binary chunk of a .glb file.
nlohmann::json glbJson(const std::string& bytes, std::string& bin) {
    EXPECT_EQ(bytes.substr(0, 4), "glTF");  // the validator checks the rest of the header
    const std::uint32_t jsonLength = le32(bytes, 12);
    const auto json = nlohmann::json::parse(bytes.substr(20, jsonLength));
    if (20 + jsonLength < bytes.size()) bin = bytes.substr(20 + jsonLength + 8, le32(bytes, 20 + jsonLength));
    return json;
}

// The sample project exported into DIR, an empty one into DIR/empty; the sample's snapshot.
exporter::ModelSnapshot exportSampleAndEmpty(const std::filesystem::path& dir, Sample& sample) {
    model::ModelHost h, empty;
    sample = populate(h);
    exporter::ModelSnapshot snapshot, none;
    EXPECT_EQ(exporter::snapshotModel(h, snapshot), host::kHostOk);
    EXPECT_EQ(exporter::snapshotModel(empty, none), host::kHostOk);
    const exporter::ExportResult result = exporter::exportModel(snapshot, dir);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.glbNodes, 3u);  // the mesh, the slab and the morph
    EXPECT_EQ(result.glbPictures, 1u);
    EXPECT_TRUE(exporter::exportModel(none, dir / "empty").ok);
    return snapshot;
}

TEST(GlbExport, OneNodePerElementInProjectMetresWithThePictureOnTheTerrain) {
    testsupport::TempDir dir;
    Sample sample;
    const exporter::ModelSnapshot snapshot = exportSampleAndEmpty(dir.path, sample);
    std::string bin;
    const nlohmann::json gltf = glbJson(testsupport::readFile(dir / "model.glb"), bin);
    ASSERT_EQ(gltf["nodes"].size(), 4u);
    std::size_t triangles = 0;
    const char* layers[] = {"GIS_ORTO ", "GIS_TEREN ", "GIS_BRYLY ", "GIS_BRYLY "};
    for (std::size_t k = 0; k < 4; ++k) {
        const std::string name = gltf["nodes"][k]["name"];
        EXPECT_EQ(name, layers[k] + snapshot.elements[k == 0 ? 0 : snapshot.elements.size() - 4 + k].header.id);
        const auto& primitive = gltf["meshes"][k]["primitives"][0];
        triangles += gltf["accessors"][primitive["indices"].get<std::size_t>()]["count"].get<std::size_t>() / 3;
        // The picture and the terrain under it are textured with the picture; the solids take their layer's colour.
        const auto& material = gltf["materials"][primitive["material"].get<std::size_t>()];
        EXPECT_EQ(primitive["attributes"].contains("TEXCOORD_0"), k < 2) << name;
        EXPECT_EQ(material["pbrMetallicRoughness"].contains("baseColorTexture"), k < 2) << name;
    }
    EXPECT_EQ(triangles, 2 + sample.triangles);
    // The terrain's corner (0, 0) lies 10 m east and 40 m south of the picture's top left corner (-10, 40) in its
    // 80 x 50 m: glTF's texture coordinates run right and down from the top left.
    const auto& uvs =
        gltf["accessors"][gltf["meshes"][1]["primitives"][0]["attributes"]["TEXCOORD_0"].get<std::size_t>()];
    float uv[2];
    std::memcpy(uv,
                bin.data() + gltf["bufferViews"][uvs["bufferView"].get<std::size_t>()]["byteOffset"].get<std::size_t>(),
                sizeof uv);
    EXPECT_FLOAT_EQ(uv[0], 10.0f / 80.0f);
    EXPECT_FLOAT_EQ(uv[1], 40.0f / 50.0f);
    // The tetrahedron's apex (30, 5, 106): glTF's y is up and its z points south.
    const auto& morph = gltf["meshes"][3]["primitives"][0]["attributes"];
    EXPECT_EQ(gltf["accessors"][morph["POSITION"].get<std::size_t>()]["max"], (nlohmann::json{35.0, 106.0, -5.0}));
    EXPECT_EQ(gltf["images"][0]["mimeType"], "image/png");
    // An empty project still gives a valid, empty scene.
    EXPECT_FALSE(glbJson(testsupport::readFile(dir / "empty" / "model.glb"), bin).contains("nodes"));
}

// The Khronos validator (installed by scripts/install-deps.sh from the npm registry) finds no error.
TEST(GlbExport, KhronosValidatorFindsNoErrors) {
    const auto tool = testsupport::sourceDir() / "tests" / "export" / "independent";
    if (!std::filesystem::exists(tool / "node_modules" / "gltf-validator") ||
        std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "glTF validator not installed (scripts/install-deps.sh installs node and " << tool << ")";
    testsupport::TempDir dir;
    Sample sample;
    exportSampleAndEmpty(dir.path, sample);
    for (const auto& file : {dir / "model.glb", dir / "empty" / "model.glb"}) {
        const ProgramRun run =
            runCommand("cd '" + tool.string() + "' && node check.mjs '" + file.string() + "'", dir / "report.json");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const auto report = nlohmann::json::parse(run.output);
        EXPECT_EQ(report["issues"]["numErrors"], 0) << report["issues"].dump(1);
        EXPECT_EQ(report["issues"]["numWarnings"], 0) << report["issues"].dump(1);
    }
}

}  // namespace
