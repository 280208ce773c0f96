// The settings file through the real load/save functions and a private XDG_CONFIG_HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

TEST_F(SettingsFile, MissingOrBrokenFileGivesDefaultsAndABrokenOneIsKeptAsideAndToldOnce) {
    const Settings defaults = defaultSettings();
    EXPECT_EQ(loadSettings(), defaults);
    // Building the path creates the folder.
    EXPECT_EQ(settingsPath(), file());
    EXPECT_TRUE(fs::is_directory(file().parent_path()));

    // Text that is no JSON object is moved aside whole and named in the note; an empty file is no edit.
    const std::string edit = "{\n  \"layers\": {\"dzialki\": \"MOJE\"},\n  \"upgToken\": \"tajny\",\n}\n";
    for (const auto& [text, damage] : std::vector<std::pair<std::string, std::string>>{
             {"", ""},
             {edit, "blad skladni JSON w wierszu 4, kolumna 1"},  // a trailing comma
             {"{\"basemap\":\"sat\"", "blad skladni JSON"},
             {"{\"basemap\":\"\xff\"}", "blad skladni JSON"},
             {"[1,2]", "to nie jest obiekt JSON"},
             {"null", "to nie jest obiekt JSON"},
             {"{\"zAnchor\":1e400}", "liczba poza zakresem"}}) {
        SCOPED_TRACE(text);
        fs::remove_all(file().parent_path());
        store(text);
        std::string note;
        EXPECT_EQ(loadSettings(&note), defaults);
        std::vector<fs::path> kept;
        for (const auto& entry : fs::directory_iterator(file().parent_path())) kept.push_back(entry.path());
        ASSERT_EQ(kept.size(), 1u);
        if (damage.empty()) {
            EXPECT_EQ(note, "");
            continue;
        }
        EXPECT_EQ(kept[0].filename().string().rfind("settings.uszkodzony-", 0), 0u) << kept[0];
        EXPECT_EQ(note.rfind("TERRAVOX: plik ustawien " + file().string() + " jest uszkodzony (" + damage, 0), 0u);
        EXPECT_EQ(note.substr(note.find(") - ")),
                  ") - zachowano go jako " + kept[0].string() + ", uzyto ustawien domyslnych.");
        // The next change writes defaults in its place; the edit stays where the note said, and is told once.
        ASSERT_TRUE(saveSettings(defaults));
        EXPECT_EQ(readFile(kept[0]), text);
        EXPECT_EQ(loadSettings(&note), defaults);
        EXPECT_EQ(note, "");
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
