// An SVG picture of the plan: one colour per layer, north up, fitted to the drawing, with a legend.
#pragma once
#include <string>
#include <vector>

#include "exporter/ExportedPicture.h"
#include "exporter/ModelSnapshot.h"

namespace exporter {

// The plan as SVG text; pictures are linked by their relative paths.
std::string writeSvg(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures);
// The text with &, <, >, " and ' escaped for XML, control characters other than tab and newline dropped.
std::string xmlEscape(const std::string& text);

}  // namespace exporter
