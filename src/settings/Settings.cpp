#include "settings/Settings.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/Numbers.h"
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

std::string settingsTextDamage(std::string_view text) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return {};
    try {
        const nlohmann::json j = nlohmann::json::parse(text.begin(), text.end());
        return j.is_object() ? std::string() : std::string("to nie jest obiekt JSON");
    } catch (const nlohmann::json::parse_error& e) {
        // The reader counts from 1 the byte after the last one it took; line and column are the user's terms.
        const std::size_t at = std::min<std::size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return platform::cformat("blad skladni JSON w wierszu %zu, kolumna %zu", line, column);
    } catch (const nlohmann::json::exception&) {
        return "liczba poza zakresem";
    }
}

namespace {

// A free name beside the file for its damaged copy: "settings.uszkodzony-<date>-<time>[-n].json".
fs::path damagedCopyPath(const fs::path& path) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    const std::string base = path.stem().string() + ".uszkodzony-" + stamp;
    std::error_code ec;
    fs::path candidate = path.parent_path() / (base + ".json");
    for (int n = 2; fs::exists(candidate, ec); ++n)
        candidate = path.parent_path() / (base + "-" + platform::cformat("%d", n) + ".json");
    return candidate;
}

}  // namespace

Settings loadSettings(std::string* damageNote) {
    if (damageNote != nullptr) damageNote->clear();
    const fs::path path = settingsPath();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return defaultSettings();
    std::string text;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return defaultSettings();
        text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return defaultSettings();
    } catch (const std::exception&) {
        // A read error (the stream buffer throws on some) counts as an unreadable file.
        return defaultSettings();
    }
    const std::string damage = settingsTextDamage(text);
    if (!damage.empty()) {
        // Moved, not copied: the next save writes defaults in its place, and the user is told once.
        const fs::path copy = damagedCopyPath(path);
        fs::rename(path, copy, ec);
        if (ec) fs::copy_file(path, copy, ec);
        if (damageNote != nullptr)
            *damageNote = ec ? "TERRAVOX: plik ustawien " + path.string() + " jest uszkodzony (" + damage +
                                   ") - uzyto ustawien domyslnych; nie udalo sie zachowac jego kopii, popraw go "
                                   "recznie przed zmiana ustawien."
                             : "TERRAVOX: plik ustawien " + path.string() + " jest uszkodzony (" + damage +
                                   ") - zachowano go jako " + copy.string() + ", uzyto ustawien domyslnych.";
    }
    return settingsFromJsonText(text);
}

bool saveSettings(const Settings& settings) {
    // The file may hold a bearer token: a new one is readable by its owner only.
    return platform::writeFileAtomically(settingsPath(), settingsToJsonText(settings), 0600);
}

}  // namespace settings
