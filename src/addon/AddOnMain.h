// The add-on's entry points, its menu and the two palettes' toggles and callbacks.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/Bridge.h"
#include "host/Shell.h"

namespace browser {
class BrowserChannel;
}
namespace palette {
class CloudPalette;
class MapPalette;
}  // namespace palette

namespace addon {

inline constexpr std::int32_t kNameStrings = 32000;
inline constexpr std::int32_t kMenuStrings = 32500;
inline constexpr std::int32_t kAddOnType = 2;
inline constexpr const char* kMapPaletteGuid = "{6B1C0A7E-92D4-4F7B-B1A9-3C58D2E4F016}";
inline constexpr const char* kCloudPaletteGuid = "{BE37AFB8-AC68-44F2-A7CE-DB3CC77A178B}";
inline constexpr const char* kMakerPage = "https://www.geodraft.pl/";

// The module's string list, or an empty list for an identifier it does not carry.
std::vector<std::string> stringList(std::int32_t id);
// A palette's host reference: the wrap-around sum of the four little-endian words of the GUID's bytes.
std::int32_t paletteReference(const std::string& guid);

class AddOnMain {
public:
    // The browser control of a palette's page, by channel name ("map" or "cloud").
    using BrowserProvider = std::function<browser::BrowserChannel&(const std::string& name)>;
    using ControllerHook = std::function<void(bridge::Bridge&)>;

    AddOnMain(BrowserProvider browsers, ControllerHook importHandlers, ControllerHook cloudHandlers);
    ~AddOnMain();
    AddOnMain(const AddOnMain&) = delete;
    AddOnMain& operator=(const AddOnMain&) = delete;

    // The four entry points, in the order the host calls them.
    std::int32_t checkEnvironment(std::string& name, std::string& description);
    host::HostError registerInterface();
    host::HostError initialize();
    host::HostError freeData();

    // The menu handler; always 0.
    host::HostError menuCommand(std::int32_t menuId, std::int32_t item);
    // The host's palette callbacks.
    host::HostError mapPaletteCallback(std::int32_t message, bool& visible);
    host::HostError cloudPaletteCallback(std::int32_t message, bool& visible);

    palette::MapPalette* mapPalette();
    palette::CloudPalette* cloudPalette();

private:
    struct Slot;
    void toggle(Slot& slot);
    void create(Slot& slot);
    void show(Slot& slot, bool visible);
    host::HostError paletteCallback(Slot& slot, std::int32_t message, bool& visible);

    BrowserProvider browsers_;
    ControllerHook importHandlers_;
    ControllerHook cloudHandlers_;
    std::unique_ptr<Slot> map_;
    std::unique_ptr<Slot> cloud_;
};

}  // namespace addon
