// Writes a list of coloured points as a one-scan E57 file that point-cloud importers read.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "formats/CloudPoint.h"

namespace e57 {

// Creates or replaces the file at `path` with the points (single-precision coordinates, 8-bit colour).
// Returns false with `error` set ("Brak punktow do zapisu." or "Nie mozna zapisac pliku e57.") when no
// complete file could be written; a half-written file is removed rather than left behind.
bool writeE57(const std::filesystem::path& path, const std::vector<formats::CloudPoint>& points, std::string& error);

}  // namespace e57
