// The terrain and contour fetch branches over a sheet index: notes for every stop, progress, skipping.
#include <gtest/gtest.h>

#include <map>

#include "TerrainTestUtil.h"

using namespace terrain;
using namespace terrain_test;

namespace {

// An index answering with the given addresses; each address downloads one test sheet (or fails).
struct FakeSheets {
    std::vector<std::string> urls;
    std::map<std::string, std::string> files;  // url -> file under tests/data/asc ("" = download fails)
    std::vector<geodesy::Bbox> framesAsked;
    std::vector<std::string> downloaded;

    FakeSheets(std::initializer_list<std::pair<std::string, std::string>> sheets = {}) {
        for (const auto& [url, file] : sheets) urls.push_back(url), files[url] = file;
    }

    ElevationSheetSource source() {
        return {[this](const geodesy::Bbox& f) {
                    framesAsked.push_back(f);
                    return urls;
                },
                [this](const std::string& url) -> std::optional<std::string> {
                    downloaded.push_back(url);
                    const std::string& file = files[url];
                    if (file.empty()) return std::nullopt;
                    return testsupport::readFile(ascData(file));
                }};
    }
};

const geodesy::Bbox kFrame{500000, 300000, 500059, 300039};

}  // namespace

TEST(ContourFetch, NotesProgressAndCancel) {
    // A refused interval stops before the index is asked.
    FakeSheets sheets{{"https://x/gone", ""}, {"https://x/a", "hills.asc"}};
    ContourBuildResult refused = fetchContours({kFrame, 1, 0.3, false}, sheets.source(), {}, {});
    EXPECT_EQ(refused.notes.size(), 1u);
    EXPECT_TRUE(sheets.framesAsked.empty());

    std::vector<std::string> log;
    ContourBuildResult r =
        fetchContours({kFrame, 1, 1.0, true}, sheets.source(), {}, [&](const std::string& phase, int done, int total) {
            log.push_back(phase + " " + std::to_string(done) + "/" + std::to_string(total));
        });
    EXPECT_FALSE(r.lines.empty());
    EXPECT_TRUE(r.notes.empty());
    EXPECT_EQ(r.summary, "Poziomice: " + std::to_string(r.lines.size()) + " warstwic, ciecie 1,00 m, wygladzone");
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "Poziomice: NMT 1/2");
    EXPECT_EQ(log[1], "Poziomice: NMT 2/2");
    EXPECT_EQ(log[2].rfind("Poziomice 1/", 0), 0u);

    // Cancel between sheet downloads: the second sheet is never fetched.
    FakeSheets slow{{"https://x/a", "hills.asc"}, {"https://x/b", "hills_east.asc"}};
    int asked = 0;
    ContourBuildResult cancelled =
        fetchContours({kFrame, 1, 1.0, false}, slow.source(), [&] { return ++asked > 1; }, {});
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.notes, std::vector<std::string>{"Poziomice: przerwano przez uzytkownika."});
    EXPECT_EQ(slow.downloaded, std::vector<std::string>{"https://x/a"});
    EXPECT_TRUE(cancelled.lines.empty());
}
