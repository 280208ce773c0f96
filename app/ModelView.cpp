#include "ModelView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>
#include <variant>
#include <vector>

#include "HeightSampler.h"
#include "exporter/ExportGeometry.h"
#include "exporter/MeshSurface.h"
#include "exporter/ModelSnapshot.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"

namespace {

using Colour = std::array<double, 3>;

constexpr Colour kTerrainColour{0.66, 0.70, 0.56};
constexpr Colour kSlabColour{0.78, 0.78, 0.76};
constexpr Colour kMorphColour{0.86, 0.85, 0.82};
// Drawings float this far above the surface they lie on, so the surface does not cover them.
constexpr double kLineLift = 0.15;

Colour attributeColour(const model::ModelState& state, std::int32_t kind, std::int32_t index, Colour fallback) {
    auto it = state.attributes.find(kind);
    if (index < 1 || it == state.attributes.end() || static_cast<std::size_t>(index) > it->second.size())
        return fallback;
    const host::HostColour& c = it->second[static_cast<std::size_t>(index - 1)].colour;
    return {c.red, c.green, c.blue};
}

// The scene's arrays as one file: every part names its byte offset and count.
struct Buffer {
    std::string bytes;
    std::size_t addFloats(const std::vector<float>& v) {
        const std::size_t at = bytes.size();
        bytes.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(float));
        return at;
    }
    std::size_t addIndices(const std::vector<std::uint32_t>& v) {
        const std::size_t at = bytes.size();
        bytes.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(std::uint32_t));
        return at;
    }
};

nlohmann::json colourJson(const Colour& c) { return nlohmann::json::array({c[0], c[1], c[2]}); }

// A surface with its vertices merged node by node of a horizontal grid (each node's vertices become one at the node,
// at their mean height): the shape keeps its relief at a coarser step instead of losing whole triangles, and
// neighbouring surfaces on the same grid meet without gaps. Triangles that collapse or turn over are dropped.
exporter::MeshSurface clustered(const exporter::MeshSurface& surface, double cell) {
    exporter::MeshSurface out;
    std::unordered_map<std::uint64_t, std::size_t> nodeIndex;
    std::vector<std::size_t> remap(surface.points.size());
    std::vector<double> counts;
    for (std::size_t i = 0; i < surface.points.size(); ++i) {
        const auto& p = surface.points[i];
        const auto nx = static_cast<std::int64_t>(std::llround(p.x / cell));
        const auto ny = static_cast<std::int64_t>(std::llround(p.y / cell));
        const auto key = (static_cast<std::uint64_t>(nx) << 32) ^ static_cast<std::uint32_t>(ny);
        const auto [it, added] = nodeIndex.try_emplace(key, out.points.size());
        if (added) {
            out.points.push_back({static_cast<double>(nx) * cell, static_cast<double>(ny) * cell, 0});
            counts.push_back(0);
        }
        out.points[it->second].z += p.z;
        counts[it->second] += 1;
        remap[i] = it->second;
    }
    for (std::size_t i = 0; i < out.points.size(); ++i) out.points[i].z /= counts[i];
    std::set<std::array<std::size_t, 3>> kept;  // several fine triangles become the same coarse one
    for (std::size_t i = 0; i + 2 < surface.triangles.size(); i += 3) {
        const std::size_t a = remap[surface.triangles[i]], b = remap[surface.triangles[i + 1]],
                          c = remap[surface.triangles[i + 2]];
        if (a == b || b == c || a == c) continue;
        const auto& pa = out.points[a];
        const auto& pb = out.points[b];
        const auto& pc = out.points[c];
        if ((pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x) <= 0) continue;
        std::array<std::size_t, 3> key{a, b, c};
        std::sort(key.begin(), key.end());
        if (kept.insert(key).second) out.triangles.insert(out.triangles.end(), {a, b, c});
    }
    return out;
}

double planArea(const exporter::MeshSurface& s) {
    if (s.points.empty()) return 0;
    double minX = s.points[0].x, maxX = minX, minY = s.points[0].y, maxY = minY;
    for (const auto& p : s.points) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    return std::max((maxX - minX) * (maxY - minY), 1e-6);
}

const char* pictureExtension(const std::string& bytes) {
    if (bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return ".png";
    if (bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8)
        return ".jpg";
    return nullptr;
}

std::string fnv1a(const std::string& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return platform::cformat("%016llx", static_cast<unsigned long long>(h));
}

}  // namespace

nlohmann::json ModelView::write(const model::ModelState& state, const std::filesystem::path& folder,
                                std::uint64_t revision) {
    const exporter::ModelSnapshot snapshot = exporter::snapshotOf(state);
    std::vector<exporter::MeshSurface> surfaces;
    std::vector<Colour> surfaceColours;
    std::map<Colour, std::vector<exporter::Face3>> solids;
    std::map<std::string, std::vector<std::vector<host::HostPoint2>>> drawings;  // paths by layer name
    std::vector<const host::PictureElement*> pictures;
    for (const auto& element : snapshot.elements) {
        if (const auto* mesh = std::get_if<host::MeshElement>(&element.body)) {
            surfaces.push_back(exporter::meshSurface(*mesh));
            surfaceColours.push_back(attributeColour(state, host::kAttrMaterial, mesh->material, kTerrainColour));
        } else if (const auto* slab = std::get_if<host::SlabElement>(&element.body)) {
            const Colour building =
                attributeColour(state, host::kAttrBuildingMaterial, slab->buildingMaterial, kSlabColour);
            auto faces = exporter::facesOf(element);
            auto& into = solids[attributeColour(state, host::kAttrMaterial, slab->topMaterial, building)];
            into.insert(into.end(), faces.begin(), faces.end());
        } else if (const auto* morph = std::get_if<host::MorphElement>(&element.body)) {
            // Each surface material drawn in its own colour: the morph's faces taken material by material.
            std::map<std::int32_t, std::vector<host::MorphPolygon>> byMaterial;
            for (const auto& polygon : morph->polygons)
                byMaterial[polygon.hasMaterial ? polygon.material : 0].push_back(polygon);
            for (auto& [material, polygons] : byMaterial) {
                model::StoredElement part = element;
                std::get<host::MorphElement>(part.body).polygons = std::move(polygons);
                auto faces = exporter::facesOf(part);
                auto& into = solids[attributeColour(state, host::kAttrMaterial, material, kMorphColour)];
                into.insert(into.end(), faces.begin(), faces.end());
            }
        } else if (const auto* polyline = std::get_if<host::PolylineElement>(&element.body)) {
            drawings[exporter::exportLayerName(snapshot, polyline->layer)].push_back(
                exporter::tessellatePolyline(*polyline));
        } else if (const auto* fill = std::get_if<host::FillElement>(&element.body)) {
            for (auto ring : fill->contours) {
                if (ring.size() > 1 && !(ring.front() == ring.back())) ring.push_back(ring.front());
                drawings[exporter::exportLayerName(snapshot, fill->layer)].push_back(std::move(ring));
            }
        } else if (const auto* picture = std::get_if<host::PictureElement>(&element.body)) {
            pictures.push_back(picture);
        }
    }

    // The origin: the middle of everything at the lowest height, so float coordinates stay exact to millimetres.
    double minX = std::numeric_limits<double>::max(), minY = minX, minZ = minX;
    double maxX = std::numeric_limits<double>::lowest(), maxY = maxX;
    const auto extend = [&](double x, double y) {
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    };
    for (const auto& s : surfaces) {
        for (const auto& p : s.points) extend(p.x, p.y), minZ = std::min(minZ, p.z);
    }
    for (const auto& [colour, faces] : solids) {
        for (const auto& f : faces) {
            for (const auto* p : {&f.a, &f.b, &f.c}) extend(p->x, p->y), minZ = std::min(minZ, p->z);
        }
    }
    for (const auto& [layer, paths] : drawings) {
        for (const auto& path : paths) {
            for (const auto& p : path) extend(p.x, p.y);
        }
    }
    for (const auto* p : pictures) extend(p->boxMin.x, p->boxMin.y), extend(p->boxMax.x, p->boxMax.y);
    if (minX > maxX) minX = maxX = minY = maxY = 0;
    if (minZ == std::numeric_limits<double>::max() || surfaces.empty()) minZ = std::min(minZ, 0.0);
    const double ox = (minX + maxX) / 2, oy = (minY + maxY) / 2, oz = minZ;

    Buffer buffer;
    nlohmann::json parts = nlohmann::json::array();

    // Terrain: simplified to the budget on one grid for all surfaces, about two triangles a cell.
    std::size_t before = 0, after = 0;
    double area = 0;
    for (const auto& s : surfaces) before += s.triangles.size() / 3, area += planArea(s);
    const double cell = std::sqrt(area * 2.0 / static_cast<double>(kMaxTerrainTriangles));
    HeightSampler ground;
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        ground.add(surfaces[i]);
        const exporter::MeshSurface shown = before > kMaxTerrainTriangles ? clustered(surfaces[i], cell) : surfaces[i];
        after += shown.triangles.size() / 3;
        if (shown.triangles.empty()) continue;
        std::vector<float> positions;
        positions.reserve(shown.points.size() * 3);
        for (const auto& p : shown.points) {
            positions.insert(positions.end(), {static_cast<float>(p.x - ox), static_cast<float>(p.y - oy),
                                               static_cast<float>(p.z - oz)});
        }
        std::vector<std::uint32_t> indices(shown.triangles.begin(), shown.triangles.end());
        const std::size_t at = buffer.addFloats(positions);
        const std::size_t indexAt = buffer.addIndices(indices);
        parts.push_back({{"kind", "terrain"},
                         {"colour", colourJson(surfaceColours[i])},
                         {"positions", {at, positions.size()}},
                         {"indices", {indexAt, indices.size()}}});
    }
    ground.build();

    for (const auto& [colour, faces] : solids) {
        std::vector<float> positions;
        positions.reserve(faces.size() * 9);
        for (const auto& f : faces) {
            for (const auto* p : {&f.a, &f.b, &f.c}) {
                positions.insert(positions.end(), {static_cast<float>(p->x - ox), static_cast<float>(p->y - oy),
                                                   static_cast<float>(p->z - oz)});
            }
        }
        if (positions.empty()) continue;
        parts.push_back({{"kind", "solid"},
                         {"colour", colourJson(colour)},
                         {"positions", {buffer.addFloats(positions), positions.size()}}});
    }

    // Drawings on the ground: long segments are cut so they follow the surface, at most the budget in all.
    double length = 0;
    for (const auto& [layer, paths] : drawings) {
        for (const auto& path : paths) {
            for (std::size_t i = 1; i < path.size(); ++i)
                length += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
        }
    }
    const double step = ground.empty() ? std::numeric_limits<double>::max()
                                       : std::max(ground.typicalEdge(), length / static_cast<double>(kMaxLineSegments));
    const auto groundAt = [&](double x, double y) {
        double z = 0;
        return static_cast<float>((ground.heightAt(x, y, z) ? z : 0.0) + kLineLift - oz);
    };
    std::size_t segments = 0;
    for (const auto& [layer, paths] : drawings) {
        std::vector<float> positions;
        for (const auto& path : paths) {
            for (std::size_t i = 1; i < path.size() && segments < kMaxLineSegments * 2; ++i) {
                const auto& a = path[i - 1];
                const auto& b = path[i];
                const double d = std::hypot(b.x - a.x, b.y - a.y);
                const auto pieces = static_cast<std::size_t>(std::clamp(std::ceil(d / step), 1.0, 1000.0));
                for (std::size_t k = 0; k < pieces; ++k, ++segments) {
                    const double t0 = static_cast<double>(k) / static_cast<double>(pieces);
                    const double t1 = static_cast<double>(k + 1) / static_cast<double>(pieces);
                    for (double t : {t0, t1}) {
                        const double x = a.x + (b.x - a.x) * t, y = a.y + (b.y - a.y) * t;
                        positions.insert(positions.end(),
                                         {static_cast<float>(x - ox), static_cast<float>(y - oy), groundAt(x, y)});
                    }
                }
            }
        }
        if (positions.empty()) continue;
        const host::HostColour c = exporter::layerColour(layer);
        parts.push_back({{"kind", "lines"},
                         {"layer", layer},
                         {"colour", colourJson({c.red, c.green, c.blue})},
                         {"positions", {buffer.addFloats(positions), positions.size()}}});
    }

    // Scene files: the arrays of this revision, pictures by their content; older arrays go.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string bin = "model-" + std::to_string(revision) + ".bin";
    nlohmann::json pictureList = nlohmann::json::array();
    std::vector<std::string> kept{bin};
    for (const auto* p : pictures) {
        const std::string bytes(p->bytes.begin(), p->bytes.end());
        const char* extension = pictureExtension(bytes);
        if (!extension) continue;
        const std::string name = "picture-" + fnv1a(bytes) + extension;
        if (!std::filesystem::exists(folder / name)) platform::writeFileAtomically(folder / name, bytes);
        kept.push_back(name);
        pictureList.push_back({{"file", name},
                               {"min", {p->boxMin.x - ox, p->boxMin.y - oy}},
                               {"max", {p->boxMax.x - ox, p->boxMax.y - oy}},
                               {"angle", p->angle}});
    }
    std::vector<std::filesystem::path> gone;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (std::find(kept.begin(), kept.end(), name) == kept.end()) gone.push_back(entry.path());
    }
    for (const auto& path : gone) std::filesystem::remove(path, ignored);
    platform::writeFileAtomically(folder / bin, buffer.bytes);

    const auto& g = state.geoLocation;
    const double axis =
        std::atan2(g.xAxisOrdinate, g.xAxisAbscissa == 0 && g.xAxisOrdinate == 0 ? 1.0 : g.xAxisAbscissa);
    return {{"bin", bin},
            {"parts", parts},
            {"pictures", pictureList},
            {"origin", {ox, oy, oz}},
            {"size", {maxX - minX, maxY - minY}},
            {"north", {std::sin(axis), std::cos(axis)}},
            {"terrainTriangles", {before, after}}};
}
