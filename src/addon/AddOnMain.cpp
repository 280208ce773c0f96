#include "addon/AddOnMain.h"

#include <cstdio>

#include "browser/BrowserChannel.h"
#include "cleanup/PolylineCleaner.h"
#include "palette/CloudPalette.h"
#include "palette/MapPalette.h"

namespace addon {

namespace {

constexpr const char* kEnableCodes = "^ES^EE^EI^ED^EW^E3^EL";

std::uint32_t hexValue(const std::string& hex) { return static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16)); }

}  // namespace

std::vector<std::string> stringList(std::int32_t id) {
    if (id == kNameStrings) {
        return {"Geodraft",
                "Import danych GIS (dzialki, budynki, MPZP/POG, GESUT) z WFS GUGiK i Rejestru Urbanistycznego"};
    }
    if (id == kMenuStrings) {
        const std::string e = kEnableCodes;
        return {"Velmora",
                "Geodraft",
                "Mapa importu GIS" + e,
                "Chmura punktow" + e,
                "Czyszczenie duplikatow (polilinie + teksty)" + e,
                "Strona Geodraft (www.geodraft.pl)" + e};
    }
    return {};
}

std::int32_t paletteReference(const std::string& guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: Data1, Data2, Data3, then eight bytes.
    const std::string g = guid.substr(1, 36);
    const std::uint32_t data1 = hexValue(g.substr(0, 8));
    const std::uint32_t data2 = hexValue(g.substr(9, 4));
    const std::uint32_t data3 = hexValue(g.substr(14, 4));
    const std::string tail = g.substr(19, 4) + g.substr(24, 12);
    std::uint32_t words[2] = {0, 0};
    for (int i = 0; i < 8; ++i) {
        const std::uint32_t byte = hexValue(tail.substr(static_cast<std::size_t>(i) * 2, 2));
        words[i / 4] |= byte << (8 * (i % 4));  // little-endian words of the byte form
    }
    const std::uint32_t sum = data1 + (data2 | (data3 << 16)) + words[0] + words[1];
    return static_cast<std::int32_t>(sum);
}

struct AddOnMain::Slot {
    std::string guid;
    std::string title;
    std::string channel;
    std::int32_t item = 0;
    std::shared_ptr<void> object;  // the palette, created on first open
    bool visible = false;
    bool visibleBeforeHide = false;
};

AddOnMain::AddOnMain(BrowserProvider browsers, ControllerHook importHandlers, ControllerHook cloudHandlers)
    : browsers_(std::move(browsers)),
      importHandlers_(std::move(importHandlers)),
      cloudHandlers_(std::move(cloudHandlers)),
      map_(new Slot{kMapPaletteGuid, "Geodraft", "map", 1}),
      cloud_(new Slot{kCloudPaletteGuid, "Chmura punktow", "cloud", 2}) {}

AddOnMain::~AddOnMain() = default;

std::int32_t AddOnMain::checkEnvironment(std::string& name, std::string& description) {
    const auto strings = stringList(kNameStrings);
    name = strings[0];
    description = strings[1];
    return kAddOnType;
}

host::HostError AddOnMain::registerInterface() {
    host::Shell* s = host::shell();
    return s ? s->registerMenu(kMenuStrings, stringList(kMenuStrings)) : host::kHostNotSupplied;
}

host::HostError AddOnMain::initialize() {
    host::Shell* s = host::shell();
    if (!s) return host::kHostNotSupplied;
    host::HostError err = s->installMenuHandler(
        kMenuStrings, [this](std::int32_t menuId, std::int32_t item) { return menuCommand(menuId, item); });
    if (err != host::kHostOk) return err;
    err = s->registerPalette(
        paletteReference(kMapPaletteGuid),
        [this](std::int32_t message, bool& visible) { return mapPaletteCallback(message, visible); },
        host::kPaletteEnableFlags, kMapPaletteGuid);
    if (err != host::kHostOk) return err;
    return s->registerPalette(
        paletteReference(kCloudPaletteGuid),
        [this](std::int32_t message, bool& visible) { return cloudPaletteCallback(message, visible); },
        host::kPaletteEnableFlags, kCloudPaletteGuid);
}

host::HostError AddOnMain::freeData() { return host::kHostOk; }

host::HostError AddOnMain::menuCommand(std::int32_t menuId, std::int32_t item) {
    if (menuId != kMenuStrings) return host::kHostOk;
    switch (item) {
        case 1: toggle(*map_); break;
        case 2: toggle(*cloud_); break;
        case 3: cleanup::RunRemoveDuplicatesCommand(); break;
        case 4:
            if (host::shell()) host::shell()->openExternal(kMakerPage);
            break;
        default: break;
    }
    return host::kHostOk;
}

void AddOnMain::toggle(Slot& slot) {
    host::Shell* s = host::shell();
    if (!s) return;
    if (slot.object && slot.visible) {
        show(slot, false);
    } else {
        create(slot);
        show(slot, true);
    }
}

void AddOnMain::create(Slot& slot) {
    if (slot.object) return;
    host::Shell* s = host::shell();
    browser::BrowserChannel& browser = browsers_(slot.channel);
    if (s) {
        browser.onPageAddress([s, guid = slot.guid](const std::string& address) { s->setPalettePage(guid, address); });
        // The palettes end with the project.
        s->registerNotification(host::kNotifyProjectClose, [this](std::int32_t code) {
            if (code != host::kNotifyProjectClose) return;
            for (Slot* each : {map_.get(), cloud_.get()}) {
                if (each->object && each->visible) show(*each, false);
                each->object.reset();
            }
        });
    }
    if (&slot == map_.get()) {
        auto palette = std::make_shared<palette::MapPalette>(importHandlers_);
        // "openExternal" opens through the host's shell.
        palette::MapPalette::setUrlOpener([](const std::string& url) {
            if (host::shell()) host::shell()->openExternal(url);
        });
        palette->InitBrowserControl(browser);
        slot.object = palette;
    } else {
        auto palette = std::make_shared<palette::CloudPalette>(cloudHandlers_);
        palette->InitBrowserControl(browser);
        slot.object = palette;
    }
    if (s) s->keepModuleLoaded(true);
}

void AddOnMain::show(Slot& slot, bool visible) {
    slot.visible = visible;
    host::Shell* s = host::shell();
    if (!s) return;
    s->showPalette(slot.guid, slot.title, visible);
    // The check mark follows the window however it was shown or hidden (menu, its close box, the host).
    std::int32_t flags = 0;
    s->getMenuItemFlags(kMenuStrings, slot.item, flags);
    s->setMenuItemFlags(kMenuStrings, slot.item,
                        visible ? flags | host::kMenuItemChecked : flags & ~host::kMenuItemChecked);
}

host::HostError AddOnMain::paletteCallback(Slot& slot, std::int32_t message, bool& visible) {
    const bool exists = static_cast<bool>(slot.object);
    switch (message) {
        case host::kPaletteClose:
            if (exists) show(slot, false);
            break;
        case host::kPaletteHideBegin:
            slot.visibleBeforeHide = exists && slot.visible;
            if (slot.visibleBeforeHide) show(slot, false);
            break;
        case host::kPaletteHideEnd:
            if (exists && slot.visibleBeforeHide) show(slot, true);
            break;
        case host::kPaletteDisableBegin:
        case host::kPaletteDisableEnd:
            if (exists && slot.visible && host::shell()) {
                host::shell()->setPaletteEnabled(slot.guid, message == host::kPaletteDisableEnd);
            }
            break;
        case host::kPaletteOpen:
            create(slot);
            show(slot, true);
            break;
        case host::kPaletteIsVisible: visible = exists && slot.visible; break;
        default: break;
    }
    return host::kHostOk;
}

host::HostError AddOnMain::mapPaletteCallback(std::int32_t message, bool& visible) {
    return paletteCallback(*map_, message, visible);
}

host::HostError AddOnMain::cloudPaletteCallback(std::int32_t message, bool& visible) {
    return paletteCallback(*cloud_, message, visible);
}

palette::MapPalette* AddOnMain::mapPalette() { return static_cast<palette::MapPalette*>(map_->object.get()); }

palette::CloudPalette* AddOnMain::cloudPalette() { return static_cast<palette::CloudPalette*>(cloud_->object.get()); }

}  // namespace addon
