#include "palette/detail/WebPalette.h"

#include <fstream>

#include "host/Host.h"
#include "palette/MapPalette.h"
#include "platform/Paths.h"
#include "settings/Diagnostics.h"
#include "webres/WebResources.h"

namespace palette::detail {

ResourceLoader& resourceLoader() {
    static ResourceLoader loader = [](std::int32_t id, std::string_view& bytes) {
        const webres::Resource* r = webres::findResource(id);
        if (!r) return false;
        bytes = r->bytes;
        return true;
    };
    return loader;
}

std::filesystem::path webFolder(const PaletteTexts& texts) { return platform::tempDir() / texts.folderName / "web"; }

bool extractWebResources(const PaletteTexts& texts, const std::vector<WebFile>& files) {
    const std::filesystem::path folder = webFolder(texts);
    // The pages run with the add-on's bridge: no other user may place files where they are read from.
    const bool own = platform::makePrivateFolder(folder.parent_path()) && platform::makePrivateFolder(folder);
    settings::webDiagnosticLine(std::string("=== ") + texts.className + " ExtractWebResources v" +
                                MapPalette::kVersion + " ===");
    settings::webDiagnosticLine("webDir=" + folder.string());
    for (const WebFile& f : files) {
        std::string_view bytes;
        if (!resourceLoader()(f.id, bytes)) {
            settings::webDiagnosticLine("RSLoadResource NULL id=" + std::to_string(f.id) + " file=" + f.fileName);
            return false;
        }
        const std::filesystem::path path = folder / f.fileName;
        bool opened = false;
        if (own) {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            opened = static_cast<bool>(out);
            if (opened) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            opened = opened && static_cast<bool>(out);
        }
        long long onDisk = -1;
        {
            std::ifstream in(path, std::ios::binary | std::ios::ate);
            if (in) onDisk = static_cast<long long>(in.tellg());
        }
        settings::webDiagnosticLine("id=" + std::to_string(f.id) + " file=" + f.fileName +
                                    " res=" + std::to_string(bytes.size()) + "B open=" + (opened ? "1" : "0") +
                                    " disk=" + std::to_string(onDisk) + "B path=" + path.string());
        if (!opened || onDisk != static_cast<long long>(bytes.size())) {
            settings::webDiagnosticLine("ZAPIS NIEUDANY id=" + std::to_string(f.id) + " -> przerywam");
            host::host().reportLine(std::string(texts.reportPrefix) +
                                    "nie udalo sie zapisac zasobow web na dysku (paleta bylaby pusta).");
            return false;
        }
    }
    return true;
}

std::string pageUrl(const std::filesystem::path& folder, const std::string& page) {
    std::string path = folder.string();
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
    return "file://" + path + "/" + page;
}

void registerBridgeJSObject(bridge::Bridge& bridge, browser::BrowserChannel& browser, PageMemory& memory) {
    bridge.setSender([&browser, &memory](const std::string& text) {
        memory.toPage(text);
        browser.ExecuteJS("GISBridge.receive(" + text + ");");
    });
    browser.RegisterAsynchJSObject("GIS", "postMessage", [&bridge, &browser, &memory](const nlohmann::json& args) {
        const std::string raw =
            args.is_array() && !args.empty() && args[0].is_string() ? args[0].get<std::string>() : std::string();
        const nlohmann::json message = nlohmann::json::parse(raw, nullptr, false);
        const std::string type = message.is_object() && message.contains("type") && message["type"].is_string()
                                     ? message["type"].get<std::string>()
                                     : std::string();
        memory.fromPage(type);
        bridge.dispatch(raw);
        // A page greets once when it starts: one that was reloaded gets back what the add-on still holds.
        if (type == "ping") {
            for (const std::string& text : memory.replay()) browser.ExecuteJS("GISBridge.receive(" + text + ");");
        }
        return nlohmann::json();
    });
}

bool loadPage(const PaletteTexts& texts, const std::vector<WebFile>& files, browser::BrowserChannel& browser) {
    browser.onLoadError([](int code, const std::string& url) {
        settings::webDiagnosticLine("onLoadError code=" + std::to_string(code) + " url=" + url);
    });
    browser.onLoadingState([](bool loading) {
        settings::webDiagnosticLine(std::string("onLoadingState isLoading=") + (loading ? "1" : "0"));
    });
    if (!extractWebResources(texts, files)) {
        host::host().reportLine(std::string(texts.reportPrefix) + "nie udalo sie wypakowac zasobow web.");
        return false;
    }
    const std::string url = pageUrl(webFolder(texts), texts.page);
    settings::webDiagnosticLine("LoadURL=" + url);
    browser.LoadURL(url);
    return true;
}

}  // namespace palette::detail
