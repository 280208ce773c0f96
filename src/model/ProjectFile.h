// The project file: the whole model as JSON, written atomically, read back exactly.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "model/ModelState.h"

namespace model {

// Outcome of reading or writing a project file; error is a Polish text saying where it failed.
struct ProjectFileStatus {
    bool ok = false;
    std::string error;
};

// The model as the project file's text (deterministic: the same model gives the same bytes).
std::string projectToText(const ModelState& state);
// Parses a project file's text into state; state is untouched on failure.
ProjectFileStatus projectFromText(const std::string& text, ModelState& state);
// Writes the model to path via a temporary file in the same folder and a rename.
ProjectFileStatus saveProjectFile(const std::filesystem::path& path, const ModelState& state);
// Largest project file read.
inline constexpr std::uintmax_t kMaxProjectFileBytes = std::uintmax_t{2} << 30;

// Reads a project file; state is untouched on failure.
ProjectFileStatus loadProjectFile(const std::filesystem::path& path, ModelState& state);

}  // namespace model
