// The host's shell operations the add-on's entry and palettes use: menus, palettes and their
// windows, menu item flags, project notifications. All run on the main thread.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Host.h"

namespace host {

// Menu item flag bit: the item is checked.
constexpr std::int32_t kMenuItemChecked = 2;
// Palette registration flags the add-on passes.
constexpr std::int32_t kPaletteEnableFlags = 1015;
// Project notification that ends the palettes (the host is closing the project).
constexpr std::int32_t kNotifyProjectClose = 64;

// Palette callback message codes.
enum PaletteMessage : std::int32_t {
    kPaletteClose = 1,
    kPaletteHideBegin = 2,
    kPaletteHideEnd = 3,
    kPaletteDisableBegin = 4,
    kPaletteDisableEnd = 5,
    kPaletteOpen = 6,
    kPaletteIsVisible = 7,
};

class Shell {
public:
    // Menu handler: menu resource identifier and 1-based item index; answers 0.
    using MenuHandler = std::function<HostError(std::int32_t menuId, std::int32_t item)>;
    // Palette callback: message code; `visible` is the answer to kPaletteIsVisible.
    using PaletteCallback = std::function<HostError(std::int32_t message, bool& visible)>;
    using NotificationHandler = std::function<void(std::int32_t code)>;

    virtual ~Shell() = default;

    // The menu from a string list: title, subtitle, then the item texts.
    virtual HostError registerMenu(std::int32_t menuId, const std::vector<std::string>& strings) = 0;
    virtual HostError installMenuHandler(std::int32_t menuId, MenuHandler handler) = 0;
    virtual HostError getMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t& flags) = 0;
    virtual HostError setMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t flags) = 0;

    virtual HostError registerPalette(std::int32_t reference, PaletteCallback callback, std::int32_t flags,
                                      const std::string& guid) = 0;
    // A palette window: shown or hidden, with its title and the page its browser shows.
    virtual HostError showPalette(const std::string& guid, const std::string& title, bool visible) = 0;
    virtual HostError setPalettePage(const std::string& guid, const std::string& address) = 0;
    virtual HostError setPaletteEnabled(const std::string& guid, bool enabled) = 0;

    virtual HostError keepModuleLoaded(bool keep) = 0;
    virtual HostError registerNotification(std::int32_t code, NotificationHandler handler) = 0;
    // Opens an address with the shell's "open" verb.
    virtual HostError openExternal(const std::string& url) = 0;
};

// The installed shell, or null when none is installed (a headless run).
Shell* shell();
void installShell(Shell* s);

}  // namespace host
