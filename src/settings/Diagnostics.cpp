#include "settings/Diagnostics.h"

#include <string>

#include "platform/Paths.h"

namespace settings {

namespace fs = std::filesystem;

fs::path diagnosticPath(std::string_view fileName) {
    // Only the last component: a name can never reach outside the diagnostics folder.
    fs::path name = fs::path(std::string(fileName)).filename();
    if (name.empty() || name == "." || name == "..") name = "velmora_diag.txt";
    return platform::diagnosticsDir() / name;
}

bool writeDiagnosticFile(std::string_view fileName, std::string_view text) {
    // Diagnostics tell paths, services and coordinates of the user's work: the user's alone.
    return platform::writeFileAtomically(diagnosticPath(fileName), text, 0600);
}

bool appendDiagnosticLine(std::string_view fileName, std::string_view line) {
    std::string withNewline(line);
    withNewline += '\n';
    return platform::appendToFile(diagnosticPath(fileName), withNewline);
}

bool webDiagnosticLine(std::string_view line) { return appendDiagnosticLine(kWebDiagFile, line); }

}  // namespace settings
