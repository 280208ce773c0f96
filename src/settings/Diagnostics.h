// Plain-text support diagnostics in the per-user diagnostics folder.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace settings {

// File names of the diagnostics.
inline constexpr const char* kWebDiagFile = "velmora_web_diag.txt";
inline constexpr const char* kGeoDiagFile = "velmora_geo_diag.txt";
inline constexpr const char* kZDiagFile = "velmora_z_diag.txt";
inline constexpr const char* kTerenDiagFile = "velmora_teren_diag.txt";
inline constexpr const char* kLod2DiagFile = "velmora_lod2_diag.txt";
inline constexpr const char* kRoofgenDiagFile = "velmora_roofgen_diag.txt";
inline constexpr const char* kNdsmDiagFile = "velmora_ndsm_diag.txt";
inline constexpr const char* kRekonDiagFile = "velmora_rekon_diag.txt";
inline constexpr const char* kCloudDiagFile = "velmora_cloud_diag.txt";

// Full path of a diagnostic file (only the name's last component is used); creates the folder.
// Messages that point the user at a diagnostic file name this path.
std::filesystem::path diagnosticPath(std::string_view fileName);
// Replaces the whole diagnostic file with the text; false (text dropped) when it cannot be written.
bool writeDiagnosticFile(std::string_view fileName, std::string_view text);
// Appends the text and a line feed to the diagnostic file; false (text dropped) when it cannot be written.
bool appendDiagnosticLine(std::string_view fileName, std::string_view line);
// Appends one line to the web diagnostics ("velmora_web_diag.txt").
bool webDiagnosticLine(std::string_view line);

}  // namespace settings
