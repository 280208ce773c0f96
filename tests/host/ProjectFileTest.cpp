// The project file: every element kind survives a save and load exactly; damaged files are refused.
#include <sys/stat.h>
#include <unistd.h>
#include <cmath>
#include <filesystem>

#include "HostFixture.h"
#include "model/ProjectFile.h"
#include "support/TestSupport.h"

using namespace hosttest;
using namespace host;
using testsupport::TempDir;

namespace {
std::size_t fileCount(const TempDir& dir) {
    const std::filesystem::directory_iterator it(dir.path);
    return static_cast<std::size_t>(std::distance(begin(it), end(it)));
}
}  // namespace

TEST(ProjectFile, EveryElementKindRoundTripsExactlyAndResavesByteIdentical) {
    model::ModelHost h;
    populate(h);
    TempDir dir;
    const auto path = dir / "projekt.gdp";
    ASSERT_TRUE(h.saveProject(path).ok);

    model::ModelHost reloaded;
    const model::ProjectFileStatus st = reloaded.loadProject(path);
    ASSERT_TRUE(st.ok) << st.error;
    EXPECT_TRUE(reloaded.state() == h.state());                      // every field, doubles bit for bit
    EXPECT_EQ(reloaded.projectText(), testsupport::readFile(path));  // also keeps -0, which == takes for 0
    ASSERT_TRUE(reloaded.saveProject(dir / "b.gdp").ok);
    EXPECT_EQ(testsupport::readFile(path), testsupport::readFile(dir / "b.gdp"));
}

TEST(ProjectFile, PictureBytesOfEveryLengthRemainderRoundTrip) {
    for (std::size_t n = 1; n <= 4; ++n) {
        model::ModelHost h;
        ElementId id;
        const std::vector<std::uint8_t> bytes(n, 0xFF);
        ASSERT_EQ(h.createPicture({.boxMax = {1, 1}, .mimeType = "image/jpeg", .bytes = bytes}, id), kHostOk);
        model::ModelState back;
        ASSERT_TRUE(model::projectFromText(h.projectText(), back).ok);
        EXPECT_TRUE(back == h.state()) << n << " bytes";
    }
}

TEST(ProjectFile, FailedSaveLeavesWhatWasThereAndNoTemporaryFiles) {
    model::ModelHost h;
    populate(h);
    TempDir dir;
    EXPECT_FALSE(h.saveProject(dir / "brak" / "projekt.gdp").ok);
    // A folder where the project should go: the rename cannot replace it.
    const auto blocked = dir / "projekt.gdp";
    testsupport::writeFile(blocked / "inny.txt", "zawartosc");
    const model::ProjectFileStatus st = h.saveProject(blocked);
    EXPECT_NE(st.error.find("Nie mozna zapisac projektu"), std::string::npos) << st.error;
    EXPECT_EQ(testsupport::readFile(blocked / "inny.txt"), "zawartosc");
    EXPECT_EQ(fileCount(dir), 1u);

    if (::geteuid() == 0) return;  // root ignores folder permissions
    const auto path = dir / "stary.gdp";
    model::ModelHost empty;
    ASSERT_TRUE(empty.saveProject(path).ok);
    const std::string old = testsupport::readFile(path);
    ::chmod(dir.path.c_str(), 0500);
    EXPECT_FALSE(h.saveProject(path).ok);
    ::chmod(dir.path.c_str(), 0700);
    EXPECT_EQ(testsupport::readFile(path), old);
}

TEST(ProjectFile, DamagedAndHostileFilesAreRefusedWithThePlaceAndTheModelKept) {
    model::ModelHost good;
    populate(good);
    const std::string text = good.projectText();

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) t.replace(at, from.size(), to);
        return t;
    };
    struct Case {
        std::string name;
        std::string text;
        std::string where;  // expected in the error
    };
    const std::vector<Case> cases = {
        {"truncated", text.substr(0, text.size() / 2), "JSON"},
        {"not an object", "[1,2,3]", "projekt"},
        {"other format", replaced("\"geodraft-project\"", "\"cos-innego\""), "format"},
        {"future version", replaced("\"version\":1", "\"version\":2"), "version"},
        {"pen as text", replaced("\"pen\":10", "\"pen\":\"10\""), "pen"},
        {"pen out of range", replaced("\"pen\":10", "\"pen\":40000"), "pen"},
        {"arc past the end", replaced("\"arcs\":[[0,1,", "\"arcs\":[[0,7,"), "elements[0]"},
        {"unknown type", replaced("\"type\":20", "\"type\":99"), "type"},
        {"layer that does not exist", replaced("\"layer\":2", "\"layer\":77"), "elements[0]"},
        {"bad base64", replaced("\"bytes\":\"AAEC", "\"bytes\":\"A*EC"), "bytes"},
        {"selected element missing", replaced("\"selection\":[\"", "\"selection\":[\"X"), "selection"},
        {"duplicate attribute name", replaced("\"name\":\"GIS_DZIALKI\"", "\"name\":\"Warstwa podstawowa\""),
         "attributes"},
    };
    for (const auto& c : cases) {
        model::ModelState state = good.state();
        const model::ProjectFileStatus st = model::projectFromText(c.text, state);
        EXPECT_FALSE(st.ok) << c.name;
        EXPECT_NE(st.error.find("Nieprawidlowy plik projektu"), std::string::npos) << c.name << ": " << st.error;
        EXPECT_NE(st.error.find(c.where), std::string::npos) << c.name << ": " << st.error;
        EXPECT_TRUE(state == good.state()) << c.name;
    }

    // Texts that must not crash the reader; only a refusal is asked of them.
    const std::vector<std::string> hostile = {
        std::string(200000, '[') + std::string(200000, ']'),
        std::string("{\"format\":\"geodraft-project\"\0}", 30),
        replaced("[0.1,0.2]", "[1e400,0.2]"),               // a coordinate too large for a double
        replaced("\"pen\":10", "\"pen\":10.5"),             // a pen written as a fraction
        replaced("\"edges\":[[1,2]", "\"edges\":[[1,99]"),  // a morph edge past the vertices
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        model::ModelState state;
        const model::ProjectFileStatus st = model::projectFromText(hostile[i], state);
        EXPECT_FALSE(st.ok) << i;
        EXPECT_FALSE(st.error.empty()) << i;
    }

    // Two elements with one id.
    model::ModelHost twice;
    ElementId id;
    ASSERT_EQ(twice.createPolyline(polyline(1, {{0, 0}, {1, 1}}), id), kHostOk);
    ASSERT_EQ(twice.createPolyline(polyline(1, {{0, 0}, {2, 2}}), id), kHostOk);
    std::string dup = twice.projectText();
    const auto first = dup.find("\"id\":\"") + 6;
    const auto second = dup.find("\"id\":\"", first) + 6;
    dup.replace(second, 36, dup.substr(first, 36));
    model::ModelState state;
    const model::ProjectFileStatus st = model::projectFromText(dup, state);
    EXPECT_FALSE(st.ok);
    EXPECT_NE(st.error.find("elements[1].id"), std::string::npos) << st.error;

    // Loading a damaged or missing file keeps the current model.
    TempDir dir;
    testsupport::writeFile(dir / "zly.gdp", "{\"format\":");
    EXPECT_FALSE(good.loadProject(dir / "zly.gdp").ok);
    EXPECT_FALSE(good.loadProject(dir / "brak.gdp").ok);
    EXPECT_EQ(good.projectText(), text);
}

TEST(ProjectFile, InvalidUtf8IsStoredReplacedSoTheSavedProjectMatchesTheModel) {
    model::ModelHost h;
    TextElement t;
    t.content =
        "dz\xc5"
        "a\xff"
        "b\xe2\x82";  // a cut two-byte sequence, a stray byte, a cut three-byte one
    ElementId id;
    ASSERT_EQ(h.createText(t, id), kHostOk);
    ASSERT_EQ(h.setElementIdText(id, "\xed\xa0\x80"), kHostOk);  // an encoded surrogate
    TextElement back;
    ASSERT_EQ(h.getText(id, back), kHostOk);
    EXPECT_EQ(back.content,
              "dz\xEF\xBF\xBD"
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD");
    std::string idText;
    ASSERT_EQ(h.getElementIdText(id, idText), kHostOk);
    EXPECT_EQ(idText, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");

    model::ModelState reloaded;
    const model::ProjectFileStatus st = model::projectFromText(h.projectText(), reloaded);
    ASSERT_TRUE(st.ok) << st.error;
    EXPECT_TRUE(reloaded == h.state());
}
