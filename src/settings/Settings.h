// The per-user settings record and its JSON file.
#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formats/DataType.h"

namespace settings {

// Target layer per data type, the web services' bearer token, the base-map key and the project height anchor.
struct Settings {
    std::map<formats::DataType, std::string> layers;  // UTF-8 layer name per type
    std::string upgToken;                             // bearer token for the data services; empty: none
    std::string basemap = "osm";                      // kept for the page, read and written unchanged
    double zAnchor = 0.0;                             // height above sea level that maps to project height 0
    bool hasZAnchor = false;

    // All 20 data types (codes 0..19 ascending), built once and shared.
    static const std::vector<formats::DataType>& wszystkieTypy();
    bool operator==(const Settings&) const = default;
};

// Settings with the default layer of every type, no token, "osm" and no anchor.
Settings defaultSettings();
// Full path of the settings file ($XDG_CONFIG_HOME/TERRAVOX/settings.json); creates the folder each time.
std::filesystem::path settingsPath();
// Defaults overlaid with the file's valid members; a missing file or a wrong-typed member is ignored. A file
// that is not a JSON object (a hand edit with one mistake) is never lost: it is moved aside under a new name
// before anything can overwrite it, and `damageNote` (optional) gets the report line telling the user so.
Settings loadSettings(std::string* damageNote = nullptr);
// What is wrong with a settings text that is not a JSON object ("" when it is one, or holds nothing at all).
std::string settingsTextDamage(std::string_view text);
// Writes the file atomically; false when it could not be written (the settings stay valid in memory).
bool saveSettings(const Settings& settings);

// Defaults overlaid with the valid members of a settings JSON text (never fails).
Settings settingsFromJsonText(std::string_view text);
// The file content: indented by 2, raw UTF-8, members in name order, "zAnchor" only with an anchor.
std::string settingsToJsonText(const Settings& settings);

}  // namespace settings
