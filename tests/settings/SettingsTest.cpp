// The settings file through the real load/save functions and a private XDG_CONFIG_HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "EnvOverride.h"
#include "settings/SettingsAndDiagnostics.h"
#include "support/TestSupport.h"

namespace settings {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class SettingsFile : public testing::Test {
protected:
    testsupport::TempDir tmp;
    EnvOverride config{"XDG_CONFIG_HOME", (tmp.path / "config").string()};
    fs::path file() const { return tmp.path / "config" / "TERRAVOX" / "settings.json"; }
    void store(const std::string& text) { writeFile(file(), text); }
};

}  // namespace

TEST_F(SettingsFile, MissingOrBrokenFileGivesDefaults) {
    const Settings defaults = defaultSettings();
    EXPECT_EQ(loadSettings(), defaults);
    // Building the path creates the folder.
    EXPECT_EQ(settingsPath(), file());
    EXPECT_TRUE(fs::is_directory(file().parent_path()));

    for (const std::string broken : {"", "{", "{\"basemap\":\"sat\"", "[1,2]", "\"text\"", "null",
                                     "{\"basemap\":\"\xff\"}", "{\"zAnchor\":1e400}"}) {
        SCOPED_TRACE(broken);
        store(broken);
        EXPECT_EQ(loadSettings(), defaults);
    }
}

TEST_F(SettingsFile, WrongTypesKeepOnlyThatKeysDefault) {
    store(
        R"({"layers":{"dzialki":"A","budynki":7,"nieznany":"X","mpzp":null},"upgToken":5,"basemap":"sat","zAnchor":"123"})");
    Settings s = loadSettings();
    EXPECT_EQ(s.layers[formats::DataType::dzialki], "A");
    EXPECT_EQ(s.layers[formats::DataType::budynki], "GIS_BUDYNKI");
    EXPECT_EQ(s.layers.size(), 20u);
    EXPECT_EQ(s.upgToken, "");
    EXPECT_EQ(s.basemap, "sat");
    EXPECT_FALSE(s.hasZAnchor);

    store(R"({"layers":["GIS_X"],"upgToken":"abc","basemap":{},"zAnchor":123})");
    s = loadSettings();
    EXPECT_EQ(s.layers, defaultSettings().layers);
    EXPECT_EQ(s.upgToken, "abc");
    EXPECT_EQ(s.basemap, "osm");
    EXPECT_EQ(s.zAnchor, 123.0);

    // A text editor may put a byte-order mark in front.
    store("\xEF\xBB\xBF{\"zAnchor\":-4.25}");
    EXPECT_EQ(loadSettings().zAnchor, -4.25);
}

TEST_F(SettingsFile, SavedTextHasNameOrderIndentAndRawUtf8) {
    Settings s = defaultSettings();
    s.layers = {{formats::DataType::dzialki, "Działki ewidencyjne"}, {formats::DataType::wodachmura, "GIS_WODA"}};
    s.upgToken = "tok";
    ASSERT_TRUE(saveSettings(s));
    EXPECT_EQ(readFile(file()),
              "{\n"
              "  \"basemap\": \"osm\",\n"
              "  \"layers\": {\n"
              "    \"dzialki\": \"Działki ewidencyjne\",\n"
              "    \"wodachmura\": \"GIS_WODA\"\n"
              "  },\n"
              "  \"upgToken\": \"tok\"\n"
              "}");
}

TEST_F(SettingsFile, RoundTripSurvivesRestart) {
    Settings s = defaultSettings();
    s.layers[formats::DataType::budynki] = "Budynki – żółć";
    s.layers[formats::DataType::poziomicechmura3d] = "GIS_3D";
    s.basemap = "ortho";
    s.upgToken = "Bearer-ą";
    s.hasZAnchor = true;
    s.zAnchor = 0.1 + 0.2;  // a value that needs all 17 digits to come back exactly
    ASSERT_TRUE(saveSettings(s));
    EXPECT_EQ(loadSettings(), s);
}

TEST_F(SettingsFile, FileRightsAndUnwritableLocations) {
    Settings s = defaultSettings();
    s.upgToken = "sekret";
    ASSERT_TRUE(saveSettings(s));
    struct stat st {};
    ASSERT_EQ(::stat(file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u) << "a new file with a token is private";

    ::chmod(file().c_str(), 0640);
    s.basemap = "nowe";
    ASSERT_TRUE(saveSettings(s));
    ASSERT_EQ(::stat(file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the rights the user gave the file survive a save";

    // The settings file name taken by a folder: the save fails, nothing is reported as written.
    fs::remove(file());
    fs::create_directories(file());
    EXPECT_FALSE(saveSettings(s));
    EXPECT_EQ(loadSettings(), defaultSettings());

    // The configuration folder is a plain file: no folder, no file, defaults on load.
    EnvOverride blocked("XDG_CONFIG_HOME", (tmp.path / "plainfile").string());
    writeFile(tmp.path / "plainfile", "x");
    EXPECT_FALSE(saveSettings(s));
    EXPECT_EQ(loadSettings(), defaultSettings());
    EXPECT_EQ(readFile(tmp.path / "plainfile"), "x");
}

TEST(SettingsText, InvalidUtf8IsReplacedNotFatal) {
    Settings s = defaultSettings();
    s.layers[formats::DataType::pog] = "GIS_\xff";
    std::string text;
    ASSERT_NO_THROW(text = settingsToJsonText(s));
    const Settings back = settingsFromJsonText(text);
    EXPECT_EQ(back.layers.at(formats::DataType::pog), "GIS_\xEF\xBF\xBD");
}

}  // namespace settings
