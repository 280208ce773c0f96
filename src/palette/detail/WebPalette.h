// What both palettes do alike: extract their web files, connect their bridge to the browser.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/Bridge.h"
#include "browser/BrowserChannel.h"
#include "palette/detail/PageMemory.h"

namespace palette::detail {

// One data resource of a palette and the file it is written to.
struct WebFile {
    std::int32_t id;
    const char* fileName;
};

// Loads a data resource's bytes; false when the program does not carry it.
using ResourceLoader = std::function<bool(std::int32_t id, std::string_view& bytes)>;
ResourceLoader& resourceLoader();

// Texts that differ between the palettes.
struct PaletteTexts {
    const char* className;     // "MapPalette"
    const char* reportPrefix;  // "TERRAVOX: " or "Velmora Cloud: "
    const char* folderName;    // "TERRAVOX" or "Velmora_Cloud"
    const char* page;          // "map.html"
};

// The temporary folder + name + "/web".
std::filesystem::path webFolder(const PaletteTexts& texts);
// Writes every file in order, logging each; stops at the first failure (with its report line).
bool extractWebResources(const PaletteTexts& texts, const std::vector<WebFile>& files);
// "file://" + the folder with forward slashes and a leading "/" + "/" + page.
std::string pageUrl(const std::filesystem::path& folder, const std::string& page);
// Sender into the page and the "GIS" object with "postMessage"; what the page shows is kept in memory and sent
// again to a page that starts anew (a reload, another tab).
void registerBridgeJSObject(bridge::Bridge& bridge, browser::BrowserChannel& browser, PageMemory& memory);
// Load events to the web log, extraction, then the page. False when the palette stays empty.
bool loadPage(const PaletteTexts& texts, const std::vector<WebFile>& files, browser::BrowserChannel& browser);

}  // namespace palette::detail
