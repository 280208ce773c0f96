// The exported files read back by readers the exporter shares nothing with (web-ifc and the glTF reading of
// independent/solids.mjs, ezdxf in independent/dxf_solids.py), and what the project itself says of its solids,
// worked out here from the elements' own faces.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "ExportFixture.h"
#include "model/ModelState.h"

namespace exporttest {

inline std::filesystem::path independentDir() { return testsupport::sourceDir() / "tests" / "export" / "independent"; }

// node with web-ifc installed (scripts/install-deps.sh); the test skips without it.
inline bool haveWebIfc() {
    return std::filesystem::exists(independentDir() / "node_modules" / "web-ifc") &&
           std::system("node --version >/dev/null 2>&1") == 0;
}

// The report of solids.mjs (model.glb or model.ifc) or dxf_solids.py (model.dxf) as JSON; null when the reader
// is missing (ezdxf) or failed (the test fails then).
inline nlohmann::json readBack(const std::filesystem::path& file) {
    const bool dxf = file.extension() == ".dxf";
    const std::string command =
        dxf ? "/usr/bin/python3 '" + (independentDir() / "dxf_solids.py").string() + "' '" + file.string() + "'"
            : "cd '" + independentDir().string() + "' && node solids.mjs '" + file.string() + "'";
    const ProgramRun run = runCommand(command, file.parent_path() / (file.filename().string() + ".report"));
    if (dxf && run.exitCode == 77) return nullptr;
    EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.output.substr(0, 2000);
    if (run.exitCode != 0 || !nlohmann::json::accept(run.output)) return nullptr;
    return nlohmann::json::parse(run.output);
}

// A solid as the project holds it: whether its faces close up, each edge walked once each way, and the
// volume they enclose (positive facing outward).
struct ProjectSolid {
    bool closed = false;
    double volume = 0.0;
    bool closedOutward() const { return closed && volume > 0.0; }
};

// Every slab and morph of the project by element id. A slab is a prism of its outline less its holes; a morph
// is what its polygons walk, taken at the vertices' positions.
inline std::map<std::string, ProjectSolid> projectSolids(const std::vector<model::StoredElement>& elements) {
    std::map<std::string, ProjectSolid> out;
    for (const auto& el : elements) {
        if (const auto* slab = std::get_if<host::SlabElement>(&el.body)) {
            double area = 0;
            for (std::size_t r = 0; r < slab->contours.size(); ++r) {
                double a = 0;
                const auto& ring = slab->contours[r];
                for (std::size_t i = 0; i + 1 < ring.size(); ++i)
                    a += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
                a += ring.back().x * ring.front().y - ring.front().x * ring.back().y;
                area += (r == 0 ? 1 : -1) * std::abs(a) / 2;
            }
            out[el.header.id] = {true, area * std::abs(slab->thickness)};
        } else if (const auto* m = std::get_if<host::MorphElement>(&el.body)) {
            auto at = [&](std::int32_t v) {
                const host::HostPoint3& p = m->vertices[static_cast<std::size_t>(v - 1)];
                const double* t = m->transform;
                return std::tuple{t[0] * p.x + t[1] * p.y + t[2] * p.z + t[3],
                                  t[4] * p.x + t[5] * p.y + t[6] * p.z + t[7],
                                  t[8] * p.x + t[9] * p.y + t[10] * p.z + t[11]};
            };
            std::map<std::pair<std::tuple<double, double, double>, std::tuple<double, double, double>>, int> walked;
            ProjectSolid s;
            for (const auto& polygon : m->polygons) {
                std::vector<std::tuple<double, double, double>> loop;
                for (std::int32_t e : polygon.edges) {
                    const auto& edge = m->edges[static_cast<std::size_t>(std::abs(e) - 1)];
                    loop.push_back(at(e > 0 ? edge.from : edge.to));
                }
                for (std::size_t i = 0; i < loop.size(); ++i) ++walked[{loop[i], loop[(i + 1) % loop.size()]}];
                for (std::size_t k = 1; k + 1 < loop.size(); ++k) {
                    const auto [ax, ay, az] = loop[0];
                    const auto [bx, by, bz] = loop[k];
                    const auto [cx, cy, cz] = loop[k + 1];
                    s.volume += (ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)) / 6;
                }
            }
            s.closed = !walked.empty();
            for (const auto& [edge, uses] : walked) {
                const auto back = walked.find({edge.second, edge.first});
                if (uses != 1 || back == walked.end() || back->second != 1) s.closed = false;
            }
            out[el.header.id] = s;
        }
    }
    return out;
}

// The element id at the end of a glTF node's name ("LAYER ID").
inline std::string idOfNode(const std::string& name) { return name.substr(name.rfind(' ') + 1); }

}  // namespace exporttest
