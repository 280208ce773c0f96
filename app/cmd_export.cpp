// geodraft export PROJECT --out DIR: the project as DXF, GeoJSON, an SVG plan, binary glTF and IFC.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "Commands.h"
#include "exporter/ModelExport.h"
#include "model/ProjectFile.h"

int cmdExport(int argc, char** argv) {
    std::string project, out;
    bool bad = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) out = argv[++i];
        else if (project.empty() && argv[i][0] != '-') project = argv[i];
        else bad = true;
    }
    if (bad || project.empty() || out.empty()) {
        std::fprintf(stderr, "uzycie: geodraft export PROJEKT --out KATALOG\n");
        return 2;
    }
    model::ModelState state;
    model::ProjectFileStatus loaded = model::loadProjectFile(project, state);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 1;
    }
    const exporter::ExportResult result = exporter::exportModel(exporter::snapshotOf(std::move(state)), out);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    std::size_t entities = 0;
    for (const auto& [layer, count] : result.dxfEntitiesByLayer) entities += count;
    std::printf("DXF: %s/model.dxf (elementy: %zu, obrazy: %zu)\n", out.c_str(), entities, result.dxfImages);
    for (const auto& [layer, count] : result.dxfEntitiesByLayer) std::printf("  %s: %zu\n", layer.c_str(), count);
    std::printf("GeoJSON: %s/model.geojson (obiekty: %zu)\n", out.c_str(), result.geoJsonFeatures);
    std::printf("SVG: %s/plan.svg\n", out.c_str());
    if (result.glbPictures > 0)
        std::printf("glTF: %s/model.glb (elementy 3D: %zu, obrazy: %zu)\n", out.c_str(), result.glbNodes,
                    result.glbPictures);
    else std::printf("glTF: %s/model.glb (elementy 3D: %zu)\n", out.c_str(), result.glbNodes);
    std::printf("IFC: %s/model.ifc (elementy: %zu)\n", out.c_str(), result.ifcProducts);
    if (!result.georeferenced)
        std::printf("Uwaga: projekt nie ma georeferencji - GeoJSON zawiera wspolrzedne projektu.\n");
    else if (!result.ifcGeoreferenced)
        std::printf("Uwaga: uklad projektu nie jest strefa PL-2000 ani PL-1992 - IFC bez georeferencji.\n");
    if (result.picturesSkipped > 0) std::printf("Pominieto obrazy w nieznanym formacie: %zu\n", result.picturesSkipped);
    return 0;
}
