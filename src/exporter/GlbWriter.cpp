#include "exporter/GlbWriter.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>

#include <nlohmann/json.hpp>

#include "exporter/ExportGeometry.h"

namespace exporter {

namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;
constexpr std::uint32_t kBinChunk = 0x004E4942;
constexpr int kFloat = 5126;
constexpr int kArrayBuffer = 34962;
constexpr int kTriangles = 4;

void put32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void putFloat(std::string& out, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    put32(out, bits);
}

// Project (east, north, up) to glTF's right-handed Y-up axes.
std::array<double, 3> yUp(const host::HostPoint3& p) { return {p.x, p.z, -p.y}; }

struct Primitive {
    std::string positions;  // float triples
    std::string normals;
    std::size_t count = 0;
    std::array<float, 3> min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::max()};
    std::array<float, 3> max{std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
                             std::numeric_limits<float>::lowest()};

    // A triangle with its face normal; triangles without area carry no normal and are left out.
    void add(const Face3& f) {
        const auto a = yUp(f.a), b = yUp(f.b), c = yUp(f.c);
        const double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
        const double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (!(len > 1e-12)) return;
        nx /= len, ny /= len, nz /= len;
        for (const auto* p : {&a, &b, &c}) {
            for (int k = 0; k < 3; ++k) {
                const float v = static_cast<float>((*p)[static_cast<std::size_t>(k)]);
                putFloat(positions, v);
                min[static_cast<std::size_t>(k)] = std::min(min[static_cast<std::size_t>(k)], v);
                max[static_cast<std::size_t>(k)] = std::max(max[static_cast<std::size_t>(k)], v);
            }
            putFloat(normals, static_cast<float>(nx));
            putFloat(normals, static_cast<float>(ny));
            putFloat(normals, static_cast<float>(nz));
        }
        count += 3;
    }
};

void chunk(std::string& out, std::uint32_t type, std::string bytes, char pad) {
    while (bytes.size() % 4 != 0) bytes += pad;
    put32(out, static_cast<std::uint32_t>(bytes.size()));
    put32(out, type);
    out += bytes;
}

}  // namespace

std::string writeGlb(const ModelSnapshot& model, std::size_t& nodes) {
    using nlohmann::json;
    json doc{{"asset", {{"version", "2.0"}, {"generator", "geodraft"}}}, {"scene", 0}};
    json nodeList = json::array(), meshes = json::array(), accessors = json::array(), views = json::array(),
         materials = json::array();
    std::map<std::string, std::size_t> materialOfLayer;
    std::string bin;
    auto view = [&](const std::string& bytes) {
        views.push_back(
            {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}, {"target", kArrayBuffer}});
        bin += bytes;
        return views.size() - 1;
    };
    for (const model::StoredElement& element : model.elements) {
        Primitive primitive;
        for (const Face3& f : facesOf(element)) primitive.add(f);
        if (primitive.count == 0) continue;
        const std::string layer = exportLayerName(model, model::elementLayerOf(element.body));
        if (!materialOfLayer.count(layer)) {
            const host::HostColour c = layerColour(layer);
            materials.push_back({{"name", layer},
                                 {"doubleSided", true},
                                 {"pbrMetallicRoughness",
                                  {{"baseColorFactor", {c.red, c.green, c.blue, 1.0}}, {"metallicFactor", 0.0}}}});
            materialOfLayer[layer] = materials.size() - 1;
        }
        const std::size_t positionView = view(primitive.positions), normalView = view(primitive.normals);
        accessors.push_back({{"bufferView", positionView},
                             {"componentType", kFloat},
                             {"count", primitive.count},
                             {"type", "VEC3"},
                             {"min", primitive.min},
                             {"max", primitive.max}});
        accessors.push_back(
            {{"bufferView", normalView}, {"componentType", kFloat}, {"count", primitive.count}, {"type", "VEC3"}});
        const std::string name = layer + " " + element.header.id;
        meshes.push_back({{"name", name},
                          {"primitives",
                           {{{"attributes", {{"POSITION", accessors.size() - 2}, {"NORMAL", accessors.size() - 1}}},
                             {"material", materialOfLayer[layer]},
                             {"mode", kTriangles}}}}});
        nodeList.push_back({{"name", name}, {"mesh", meshes.size() - 1}});
    }
    nodes = nodeList.size();
    json scene = json::object();
    if (!nodeList.empty()) {
        json indices = json::array();
        for (std::size_t k = 0; k < nodeList.size(); ++k) indices.push_back(k);
        scene["nodes"] = indices;
        doc["nodes"] = nodeList;
        doc["meshes"] = meshes;
        doc["accessors"] = accessors;
        doc["bufferViews"] = views;
        doc["materials"] = materials;
        doc["buffers"] = json::array({{{"byteLength", bin.size()}}});
    }
    doc["scenes"] = json::array({scene});

    std::string body;
    chunk(body, kJsonChunk, doc.dump(), ' ');
    if (!bin.empty()) chunk(body, kBinChunk, bin, '\0');
    std::string out;
    put32(out, kGlbMagic);
    put32(out, 2);
    put32(out, static_cast<std::uint32_t>(12 + body.size()));
    return out + body;
}

}  // namespace exporter
