#include "settings/Settings.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/Paths.h"
#include "settings/DataTypes.h"

namespace settings {

namespace fs = std::filesystem;

const std::vector<formats::DataType>& Settings::wszystkieTypy() {
    static const std::vector<formats::DataType> all = [] {
        std::vector<formats::DataType> v;
        for (std::int32_t code = 0; code < 20; ++code) v.push_back(static_cast<formats::DataType>(code));
        return v;
    }();
    return all;
}

Settings defaultSettings() {
    Settings s;
    for (formats::DataType t : Settings::wszystkieTypy()) s.layers[t] = defaultLayerName(t);
    return s;
}

fs::path settingsPath() {
    const fs::path folder = platform::configDir() / "TERRAVOX";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder / "settings.json";
}

Settings settingsFromJsonText(std::string_view text) {
    Settings s = defaultSettings();
    const nlohmann::json j = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (!j.is_object()) return s;

    if (auto it = j.find("layers"); it != j.end() && it->is_object()) {
        for (formats::DataType t : Settings::wszystkieTypy()) {
            auto member = it->find(dataTypeKey(t));
            if (member != it->end() && member->is_string()) s.layers[t] = member->get<std::string>();
        }
    }
    if (auto it = j.find("upgToken"); it != j.end() && it->is_string()) s.upgToken = it->get<std::string>();
    if (auto it = j.find("basemap"); it != j.end() && it->is_string()) s.basemap = it->get<std::string>();
    if (auto it = j.find("zAnchor"); it != j.end() && it->is_number()) {
        const double z = it->get<double>();
        // An out-of-range literal parses as infinity; an anchor like that would move every element off the model.
        if (std::isfinite(z)) {
            s.zAnchor = z;
            s.hasZAnchor = true;
        }
    }
    return s;
}

std::string settingsToJsonText(const Settings& settings) {
    nlohmann::json j = nlohmann::json::object();  // std::map: members come out in name order
    j["basemap"] = settings.basemap;
    nlohmann::json layers = nlohmann::json::object();
    for (const auto& [type, name] : settings.layers) layers[dataTypeKey(type)] = name;
    j["layers"] = std::move(layers);
    j["upgToken"] = settings.upgToken;
    if (settings.hasZAnchor && std::isfinite(settings.zAnchor)) j["zAnchor"] = settings.zAnchor;
    // Text that is not valid UTF-8 is written with replacement characters rather than failing the whole save.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

Settings loadSettings() {
    const fs::path path = settingsPath();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return defaultSettings();
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return defaultSettings();
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return defaultSettings();
        return settingsFromJsonText(text);
    } catch (const std::exception&) {
        // A read error (the stream buffer throws on some) counts as an unreadable file.
        return defaultSettings();
    }
}

bool saveSettings(const Settings& settings) {
    // The file may hold a bearer token: a new one is readable by its owner only.
    return platform::writeFileAtomically(settingsPath(), settingsToJsonText(settings), 0600);
}

}  // namespace settings
