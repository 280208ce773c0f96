// IFC 4 (STEP physical file) of a model snapshot: a project in metres whose site carries the georeference as a
// map conversion to the project's PL-2000 zone (heights in PL-EVRF2007-NH); terrain meshes as geographic
// elements, slabs and morphs as building elements with triangulated shells, the 2D drawing and pictures as
// annotations. Every element sits on its layer, is coloured by its material (or its layer) and carries its
// identifier and settings as a property set.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "exporter/ElementMesh.h"
#include "exporter/ExportedPicture.h"
#include "exporter/ModelSnapshot.h"
#include "exporter/detail/ScratchFile.h"

namespace exporter {

class IfcWriter {
public:
    // `scratchNear`: where the elements wait until the file is put together (the export's folder).
    IfcWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
              const std::filesystem::path& scratchNear);
    // One element of the snapshot, by its position; `mesh` is its triangles (empty for the 2D kinds).
    void add(std::size_t element, const ElementMesh& mesh);
    // Writes the file atomically; false with a Polish error text on failure.
    bool finish(const std::filesystem::path& target, std::string& error);

    std::size_t products() const { return products_.size(); }
    // The file carries a map conversion (a survey point in a known PL-2000 or PL-1992 system).
    bool georeferenced() const { return georeferenced_; }

private:
    using Id = std::uint64_t;
    Id next() { return nextId_++; }
    Id emit(std::string& out, const std::string& entity);  // "#n=ENTITY;" with a new number
    Id surfaceStyle(const std::string& name, const host::HostColour& colour, Id texture = 0);
    Id product(std::size_t element, const char* entity, const std::string& name, const std::string& objectType,
               Id shape, const char* predefined);
    Id faceSet(const ElementMesh& mesh, bool closed);
    void properties(std::size_t element, Id product);
    std::string header() const;

    const ModelSnapshot& model_;
    const std::vector<ExportedPicture>& pictures_;
    detail::ScratchFile body_;
    std::string head_;  // project, units, contexts, georeference and site: written first
    Id nextId_ = 1;
    Id ownerHistory_ = 0, bodyContext_ = 0, planContext_ = 0, elementPlacement_ = 0, site_ = 0, origin2d_ = 0;
    bool georeferenced_ = false;
    std::vector<Id> products_;
    std::map<std::string, std::vector<Id>> layerItems_;                // representations by layer name, in layer order
    std::map<std::string, Id> styles_;                                 // surface styles by name and colour
    std::map<std::string, std::pair<Id, std::vector<Id>>> materials_;  // material and its products, by name
    std::string seed_;  // makes the file's own identifiers unique to the project
};

}  // namespace exporter
