#include "ExportBundle.h"

#include <zip.h>

#include <algorithm>
#include <system_error>
#include <vector>

namespace {

bool writeArchive(const std::filesystem::path& dir, const std::vector<std::string>& files,
                  const std::filesystem::path& archive) {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) return false;
    for (const std::string& name : files) {
        zip_source_t* source = zip_source_file(zip, (dir / name).c_str(), 0, -1);
        if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            if (source) zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

}  // namespace

nlohmann::json ExportBundle::pack(const std::filesystem::path& dir, const std::string& urlPrefix) {
    std::vector<std::string> files;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_regular_file(ignored)) continue;
        const std::string name = std::filesystem::relative(it->path(), dir, ignored).generic_string();
        // Temporary files of an atomic write are not part of the export.
        if (name != kArchiveName && name.find(".tmp") == std::string::npos) files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> offered = files;
    if (!files.empty() && writeArchive(dir, files, dir / kArchiveName)) offered.push_back(kArchiveName);
    nlohmann::json out = nlohmann::json::array();
    for (const std::string& name : offered) {
        out.push_back({{"name", name},
                       {"url", urlPrefix + name},
                       {"size", static_cast<std::uintmax_t>(std::filesystem::file_size(dir / name, ignored))}});
    }
    return out;
}
