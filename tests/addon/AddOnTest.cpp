// The add-on's entry, menu and palettes against a recording shell, and the palettes' web file extraction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "addon/AddOnMain.h"
#include "browser/BrowserServer.h"
#include "host/Shell.h"
#include "model/ModelHost.h"
#include "palette/MapPalette.h"
#include "support/TestSupport.h"

namespace {

// Records what the add-on asks of the shell; can refuse the n-th palette registration.
class RecordingShell : public host::Shell {
public:
    int failPaletteRegistration = 0;  // 1-based; 0 = never
    std::vector<std::string> registeredPalettes;
    std::map<std::int32_t, std::int32_t> flags;
    std::map<std::string, bool> shown;
    MenuHandler menu;
    std::vector<std::string> opened;

    host::HostError registerMenu(std::int32_t, const std::vector<std::string>&) override { return 0; }
    host::HostError installMenuHandler(std::int32_t, MenuHandler h) override {
        menu = std::move(h);
        return 0;
    }
    host::HostError getMenuItemFlags(std::int32_t, std::int32_t item, std::int32_t& f) override {
        f = flags[item] | 0x100;  // other bits must survive
        return 0;
    }
    host::HostError setMenuItemFlags(std::int32_t, std::int32_t item, std::int32_t f) override {
        flags[item] = f;
        return 0;
    }
    host::HostError registerPalette(std::int32_t, PaletteCallback, std::int32_t, const std::string& guid) override {
        if (static_cast<int>(registeredPalettes.size()) + 1 == failPaletteRegistration) return host::kHostBadPars;
        registeredPalettes.push_back(guid);
        return 0;
    }
    host::HostError showPalette(const std::string& guid, const std::string&, bool visible) override {
        shown[guid] = visible;
        return 0;
    }
    host::HostError setPalettePage(const std::string&, const std::string&) override { return 0; }
    host::HostError setPaletteEnabled(const std::string&, bool) override { return 0; }
    host::HostError keepModuleLoaded(bool) override { return 0; }
    host::HostError registerNotification(std::int32_t, NotificationHandler) override { return 0; }
    host::HostError openExternal(const std::string& url) override {
        opened.push_back(url);
        return 0;
    }
};

class AddOn : public testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        host::installHost(&model);
        host::installShell(&shell);
    }
    void TearDown() override {
        host::installShell(nullptr);
        host::installHost(nullptr);
        unsetenv("TMPDIR");  // the next test's folder is made under the system's own
        unsetenv("XDG_STATE_HOME");
    }
    std::string webLog() { return testsupport::readFile(dir / "state" / "TERRAVOX" / "velmora_web_diag.txt"); }

    testsupport::TempDir dir;
    model::ModelHost model;
    RecordingShell shell;
    browser::BrowserServer server;
    addon::AddOnMain addon{
        [this](const std::string& name) -> browser::BrowserChannel& { return server.channel(name); }, {}, {}};
};

TEST_F(AddOn, MenuTogglesThePaletteAndItsCheckMark) {
    ASSERT_EQ(addon.registerInterface(), 0);
    ASSERT_EQ(addon.initialize(), 0);
    EXPECT_EQ(shell.registeredPalettes, (std::vector<std::string>{addon::kMapPaletteGuid, addon::kCloudPaletteGuid}));

    shell.menu(31000, 1);  // another menu: nothing happens
    EXPECT_EQ(addon.mapPalette(), nullptr);
    for (bool expectShown : {true, false, true}) {
        shell.menu(addon::kMenuStrings, 1);
        EXPECT_EQ(shell.shown[addon::kMapPaletteGuid], expectShown);
        EXPECT_EQ(shell.flags[1], expectShown ? 0x102 : 0x100);
    }
    // Created once: the web files were extracted once.
    const std::string log = webLog();
    EXPECT_EQ(log.find("=== MapPalette ExtractWebResources v1.8.0 ==="),
              log.rfind("=== MapPalette ExtractWebResources v1.8.0 ==="));
    shell.menu(addon::kMenuStrings, 4);
    EXPECT_EQ(shell.opened, (std::vector<std::string>{addon::kMakerPage}));
}

TEST_F(AddOn, HideEndRestoresOnlyAVisiblePaletteAndTheCheckMarkFollows) {
    ASSERT_EQ(addon.registerInterface(), 0);
    ASSERT_EQ(addon.initialize(), 0);
    for (bool open : {true, false}) {
        bool visible = false;
        addon.mapPaletteCallback(open ? host::kPaletteOpen : host::kPaletteClose, visible);
        addon.mapPaletteCallback(host::kPaletteHideBegin, visible);
        addon.mapPaletteCallback(host::kPaletteHideEnd, visible);
        addon.mapPaletteCallback(host::kPaletteIsVisible, visible);
        EXPECT_EQ(visible, open);
        EXPECT_EQ(shell.flags[1], open ? 0x102 : 0x100);  // a window closed by its close box is not checked
    }
}

TEST_F(AddOn, FailedImportPaletteRegistrationStopsTheSequence) {
    shell.failPaletteRegistration = 1;
    ASSERT_EQ(addon.registerInterface(), 0);
    EXPECT_EQ(addon.initialize(), host::kHostBadPars);
    EXPECT_TRUE(shell.registeredPalettes.empty());
}

TEST_F(AddOn, ExtractionFailuresLeaveThePaletteEmpty) {
    // A file that cannot be written: both report lines, the reason in the web log.
    std::filesystem::create_directories(dir / "tmp" / "TERRAVOX" / "web" / "map.html");
    palette::MapPalette palette;
    EXPECT_FALSE(palette.InitBrowserControl(server.channel("map")));
    EXPECT_EQ(model.reportLines(),
              (std::vector<std::string>{"TERRAVOX: nie udalo sie zapisac zasobow web na dysku (paleta bylaby pusta).",
                                        "TERRAVOX: nie udalo sie wypakowac zasobow web."}));
    EXPECT_NE(webLog().find("ZAPIS NIEUDANY id=100 -> przerywam"), std::string::npos);
    EXPECT_TRUE(server.channel("map").pageAddress().empty());
}

}  // namespace
