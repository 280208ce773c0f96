// The files of an export offered for download: each file the exporter wrote, and all of them in one ZIP (a DXF
// needs its images beside it).
#pragma once
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

class ExportBundle {
public:
    // The name of the archive written into the export's folder.
    static constexpr const char* kArchiveName = "geodraft-eksport.zip";

    // Lists every file under dir (sorted by path), writes the archive of them and returns one entry a file,
    // archive last: {"name": path inside dir, "url": urlPrefix + path, "size": bytes}. Without an archive (it could
    // not be written) the list has the files alone.
    static nlohmann::json pack(const std::filesystem::path& dir, const std::string& urlPrefix);
};
