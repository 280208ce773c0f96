#include "exporter/GlbWriter.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/Paths.h"

namespace exporter {

namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;
constexpr std::uint32_t kBinChunk = 0x004E4942;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kNoTarget = 0;
constexpr int kTriangles = 4;
constexpr int kClampToEdge = 33071;
constexpr int kLinear = 9729;

void put32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void putFloat(std::string& out, double v) {
    const float f = static_cast<float>(v);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    put32(out, bits);
}

// Project (east, north, up) to glTF's right-handed Y-up axes.
std::array<double, 3> yUp(const host::HostPoint3& p) { return {p.x, p.z, -p.y}; }

// Where a point of the plan falls on a picture: (0, 0) its top left corner, (1, 1) its bottom right.
std::array<double, 2> pictureUv(const host::PictureElement& pic, double x, double y) {
    const double dx = x - pic.boxMin.x, dy = y - pic.boxMin.y;
    const double c = std::cos(pic.angle), s = std::sin(pic.angle);
    const double u = (c * dx + s * dy) / (pic.boxMax.x - pic.boxMin.x);
    const double v = (-s * dx + c * dy) / (pic.boxMax.y - pic.boxMin.y);
    return {u, 1.0 - v};
}

// Positions (with their bounds) and optionally texture coordinates of one primitive, as little-endian floats.
struct Vertices {
    std::string positions, uvs;
    std::array<double, 3> min{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::max()};
    std::array<double, 3> max{std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                              std::numeric_limits<double>::lowest()};
    std::size_t count = 0;
    void add(const host::HostPoint3& p) {
        const auto q = yUp(p);
        for (std::size_t k = 0; k < 3; ++k) {
            const double v = static_cast<float>(q[k]);  // bounds as the file holds the values
            putFloat(positions, v);
            min[k] = std::min(min[k], v);
            max[k] = std::max(max[k], v);
        }
        ++count;
    }
};

}  // namespace

GlbWriter::GlbWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
                     const std::filesystem::path& scratchNear)
    : model_(model), pictures_(pictures), bin_(scratchNear) {}

std::size_t GlbWriter::view(std::string_view bytes, int target) {
    nlohmann::json v{{"buffer", 0}, {"byteOffset", bin_.size()}, {"byteLength", bytes.size()}};
    if (target != kNoTarget) v["target"] = target;
    views_.push_back(std::move(v));
    bin_.write(bytes);
    static const char zeros[4] = {0, 0, 0, 0};
    if (bytes.size() % 4 != 0) bin_.write(std::string_view(zeros, 4 - bytes.size() % 4));
    return views_.size() - 1;
}

std::size_t GlbWriter::layerMaterial(const std::string& layer) {
    if (auto it = layerMaterials_.find(layer); it != layerMaterials_.end()) return it->second;
    const host::HostColour c = layerColour(layer);
    materials_.push_back(
        {{"name", layer},
         {"doubleSided", true},
         {"pbrMetallicRoughness", {{"baseColorFactor", {c.red, c.green, c.blue, 1.0}}, {"metallicFactor", 0.0}}}});
    return layerMaterials_[layer] = materials_.size() - 1;
}

std::size_t GlbWriter::pictureMaterial(std::size_t picture) {
    if (auto it = pictureMaterials_.find(picture); it != pictureMaterials_.end()) return it->second;
    const ExportedPicture& p = pictures_[picture];
    const auto& bytes = std::get<host::PictureElement>(model_.elements[p.element].body).bytes;
    const std::size_t imageView =
        view(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), kNoTarget);
    const bool png = p.relativePath.size() >= 4 && p.relativePath.compare(p.relativePath.size() - 4, 4, ".png") == 0;
    images_.push_back(
        {{"name", p.relativePath}, {"bufferView", imageView}, {"mimeType", png ? "image/png" : "image/jpeg"}});
    textures_.push_back({{"source", images_.size() - 1}, {"sampler", 0}});
    materials_.push_back(
        {{"name", p.relativePath},
         {"doubleSided", true},
         {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", textures_.size() - 1}}}, {"metallicFactor", 0.0}}}});
    return pictureMaterials_[picture] = materials_.size() - 1;
}

// The picture drawn topmost over the middle of a terrain mesh: the plan shows the terrain under it.
const ExportedPicture* GlbWriter::drapingPicture(const ElementMesh& mesh) const {
    if (mesh.points.empty()) return nullptr;
    double minX = mesh.points[0].x, maxX = minX, minY = mesh.points[0].y, maxY = minY;
    for (const auto& p : mesh.points) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    for (auto it = pictures_.rbegin(); it != pictures_.rend(); ++it) {
        const auto& pic = std::get<host::PictureElement>(model_.elements[it->element].body);
        const auto uv = pictureUv(pic, (minX + maxX) / 2, (minY + maxY) / 2);
        if (uv[0] >= 0 && uv[0] <= 1 && uv[1] >= 0 && uv[1] <= 1) return &*it;
    }
    return nullptr;
}

void GlbWriter::addNode(const std::string& name, nlohmann::json primitive) {
    primitive["mode"] = kTriangles;
    meshes_.push_back({{"name", name}, {"primitives", nlohmann::json::array({std::move(primitive)})}});
    nodes_.push_back({{"name", name}, {"mesh", meshes_.size() - 1}});
    ++nodeCount_;
}

void GlbWriter::add(std::size_t element, const ElementMesh& mesh) {
    const model::StoredElement& el = model_.elements[element];
    const std::string layer = exportLayerName(model_, model::elementLayerOf(el.body));
    const std::string name = layer + " " + el.header.id;
    Vertices vertices;
    std::string indices;
    std::size_t material = 0;
    if (const auto* pic = std::get_if<host::PictureElement>(&el.body)) {
        std::size_t index = 0;
        while (index < pictures_.size() && pictures_[index].element != element) ++index;
        if (index == pictures_.size()) return;  // not an image any viewer reads
        const double w = pic->boxMax.x - pic->boxMin.x, h = pic->boxMax.y - pic->boxMin.y;
        const double c = std::cos(pic->angle), s = std::sin(pic->angle);
        const host::HostPoint2 o = pic->boxMin;
        const host::HostPoint2 corners[4] = {
            o, {o.x + c * w, o.y + s * w}, {o.x + c * w - s * h, o.y + s * w + c * h}, {o.x - s * h, o.y + c * h}};
        const double uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int k = 0; k < 4; ++k) {
            vertices.add({corners[k].x, corners[k].y, 0.0});
            putFloat(vertices.uvs, uv[k][0]);
            putFloat(vertices.uvs, uv[k][1]);
        }
        for (std::uint32_t k : {0u, 1u, 2u, 0u, 2u, 3u}) put32(indices, k);
        material = pictureMaterial(index);
        ++pictureCount_;
    } else {
        if (mesh.triangles.empty()) return;
        const ExportedPicture* drape =
            std::holds_alternative<host::MeshElement>(el.body) ? drapingPicture(mesh) : nullptr;
        const host::PictureElement* texture =
            drape ? &std::get<host::PictureElement>(model_.elements[drape->element].body) : nullptr;
        vertices.positions.reserve(mesh.points.size() * 12);
        for (const auto& p : mesh.points) {
            vertices.add(p);
            if (texture) {
                const auto uv = pictureUv(*texture, p.x, p.y);
                putFloat(vertices.uvs, uv[0]);
                putFloat(vertices.uvs, uv[1]);
            }
        }
        indices.reserve(mesh.triangles.size() * 4);
        for (std::uint32_t k : mesh.triangles) put32(indices, k);
        material = drape ? pictureMaterial(static_cast<std::size_t>(drape - pictures_.data())) : layerMaterial(layer);
    }
    nlohmann::json attributes;
    const std::size_t positionView = view(vertices.positions, kArrayBuffer);
    accessors_.push_back({{"bufferView", positionView},
                          {"componentType", kFloat},
                          {"count", vertices.count},
                          {"type", "VEC3"},
                          {"min", vertices.min},
                          {"max", vertices.max}});
    attributes["POSITION"] = accessors_.size() - 1;
    if (!vertices.uvs.empty()) {
        const std::size_t uvView = view(vertices.uvs, kArrayBuffer);
        accessors_.push_back(
            {{"bufferView", uvView}, {"componentType", kFloat}, {"count", vertices.count}, {"type", "VEC2"}});
        attributes["TEXCOORD_0"] = accessors_.size() - 1;
    }
    const std::size_t indexView = view(indices, kElementArrayBuffer);
    accessors_.push_back({{"bufferView", indexView},
                          {"componentType", kUnsignedInt},
                          {"count", indices.size() / 4},
                          {"type", "SCALAR"}});
    addNode(name, {{"attributes", attributes}, {"indices", accessors_.size() - 1}, {"material", material}});
}

bool GlbWriter::finish(const std::filesystem::path& target, std::string& error) {
    using nlohmann::json;
    json doc{{"asset", {{"version", "2.0"}, {"generator", "geodraft"}}}, {"scene", 0}};
    json scene = json::object();
    if (!nodes_.empty()) {
        json indices = json::array();
        for (std::size_t k = 0; k < nodes_.size(); ++k) indices.push_back(k);
        scene["nodes"] = indices;
        doc["nodes"] = std::move(nodes_);
        doc["meshes"] = std::move(meshes_);
        doc["accessors"] = std::move(accessors_);
        doc["bufferViews"] = std::move(views_);
        doc["materials"] = std::move(materials_);
        doc["buffers"] = json::array({{{"byteLength", bin_.size()}}});
        if (!textures_.empty()) {
            doc["textures"] = std::move(textures_);
            doc["images"] = std::move(images_);
            doc["samplers"] = json::array(
                {{{"magFilter", kLinear}, {"minFilter", kLinear}, {"wrapS", kClampToEdge}, {"wrapT", kClampToEdge}}});
        }
    }
    doc["scenes"] = json::array({scene});
    std::string text = doc.dump();
    while (text.size() % 4 != 0) text += ' ';
    const bool withBin = bin_.size() > 0;
    std::string head;
    put32(head, kGlbMagic);
    put32(head, 2);
    put32(head, static_cast<std::uint32_t>(12 + 8 + text.size() + (withBin ? 8 + bin_.size() : 0)));
    put32(head, static_cast<std::uint32_t>(text.size()));
    put32(head, kJsonChunk);
    if (bin_.size() > std::numeric_limits<std::uint32_t>::max() - 1024 - text.size() || !bin_.ok()) {
        error = "Nie mozna zapisac pliku: " + target.string();
        return false;
    }
    const bool written = platform::writeFileAtomically(target, [&](const platform::ByteSink& sink) {
        if (!sink(head) || !sink(text)) return false;
        if (!withBin) return true;
        std::string binHead;
        put32(binHead, static_cast<std::uint32_t>(bin_.size()));
        put32(binHead, kBinChunk);
        return sink(binHead) && bin_.copyTo(sink);
    });
    if (!written) error = "Nie mozna zapisac pliku: " + target.string();
    return written;
}

}  // namespace exporter
