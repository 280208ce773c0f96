// Binary glTF 2.0 of a model's 3D elements (meshes, slabs, morphs) and its pictures: one node per element, named
// by its layer and element id, in project metres turned Y-up (x east, y up, z south). Triangles share their
// element's points and keep their faces' winding; each layer is a material of its colour. Pictures are
// textured quads at height 0, and a terrain mesh lying under a picture carries it as its texture.
#pragma once
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "exporter/ElementMesh.h"
#include "exporter/ExportedPicture.h"
#include "exporter/ModelSnapshot.h"
#include "exporter/detail/ScratchFile.h"

namespace exporter {

class GlbWriter {
public:
    // `scratchNear`: where the binary chunk waits until the file is put together (the export's folder).
    GlbWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
              const std::filesystem::path& scratchNear);
    // One element of the snapshot, by its position; `mesh` is its triangles (empty for the 2D kinds).
    void add(std::size_t element, const ElementMesh& mesh);
    // Writes the file atomically; false with a Polish error text on failure.
    bool finish(const std::filesystem::path& target, std::string& error);
    std::size_t elements3d() const { return nodeCount_ - pictureCount_; }  // nodes of meshes, slabs and morphs
    std::size_t pictures() const { return pictureCount_; }

private:
    std::size_t view(std::string_view bytes, int target);
    std::size_t layerMaterial(const std::string& layer);
    std::size_t pictureMaterial(std::size_t picture);
    const ExportedPicture* drapingPicture(const ElementMesh& mesh) const;
    void addNode(const std::string& name, nlohmann::json primitive);

    const ModelSnapshot& model_;
    const std::vector<ExportedPicture>& pictures_;
    detail::ScratchFile bin_;
    nlohmann::json nodes_ = nlohmann::json::array(), meshes_ = nlohmann::json::array(),
                   accessors_ = nlohmann::json::array(), views_ = nlohmann::json::array(),
                   materials_ = nlohmann::json::array(), textures_ = nlohmann::json::array(),
                   images_ = nlohmann::json::array();
    std::map<std::string, std::size_t> layerMaterials_;
    std::map<std::size_t, std::size_t> pictureMaterials_;  // by position in pictures_
    std::size_t nodeCount_ = 0, pictureCount_ = 0;
};

}  // namespace exporter
