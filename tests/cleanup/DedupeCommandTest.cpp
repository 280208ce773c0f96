// geodraft dedupe as a real process: the terminal stands in for the alerts, the project file is rewritten.
#include <gtest/gtest.h>

#include "CleanupFixture.h"
#include "support/GeodraftRun.h"

using namespace cleanuptest;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};

ProgramRun runDedupe(const testsupport::TempDir& dir, const std::string& args, std::vector<std::string> input) {
    const testsupport::GeodraftRun r = testsupport::runGeodraft(dir.path, "dedupe " + args, input);
    return {r.exitCode, r.out + r.err};
}

std::string doubledProject(const testsupport::TempDir& dir) {
    model::ModelHost h;
    doubledDrawing(h);
    const auto path = (dir / "projekt.json").string();
    EXPECT_TRUE(h.saveProject(path).ok);
    return path;
}

std::size_t countInFile(const std::string& path, std::int32_t type) {
    model::ModelHost h;
    EXPECT_TRUE(h.loadProject(path).ok);
    return countOf(h, type);
}

}  // namespace

TEST(DedupeCommand, YesDeletesTheDuplicatesAndSavesTheProject) {
    testsupport::TempDir dir;
    const std::string project = doubledProject(dir);
    const ProgramRun run = runDedupe(dir, "'" + project + "' --yes", {});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Czyszczenie duplikatow"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Usunieto duplikaty:\n- polilinie: 3\n- teksty: 2"), std::string::npos) << run.output;
    for (auto type : {host::kElemPolyline, host::kElemText, host::kElemFill, host::kElemPicture})
        EXPECT_EQ(countInFile(project, type), type == host::kElemPolyline ? 3u : 2u) << type;
    EXPECT_FALSE(std::filesystem::exists(project + ".tmp"));
}

TEST(DedupeCommand, TerminalAnswersPickTheButtons) {
    testsupport::TempDir dir;
    const std::string project = doubledProject(dir);
    const std::string original = testsupport::readFile(project);

    // "Anuluj" by number: the file stays byte for byte.
    ProgramRun run = runDedupe(dir, "'" + project + "'", {"2"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1) Uruchom\n  2) Anuluj"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Usunieto"), std::string::npos) << run.output;
    EXPECT_EQ(testsupport::readFile(project), original);

    // Input that ends without an answer is no confirmation.
    run = runDedupe(dir, "'" + project + "'", {});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(testsupport::readFile(project), original);

    // A wrong answer is asked again; "t" confirms.
    run = runDedupe(dir, "'" + project + "'", {"7", "t"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(countInFile(project, host::kElemPolyline), 3u);

    // Nothing left to delete: the summary says so and the file is not rewritten.
    const auto written = std::filesystem::last_write_time(project);
    run = runDedupe(dir, "'" + project + "'", {"1"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Nie znaleziono zduplikowanych polilinii ani tekstow."), std::string::npos);
    EXPECT_EQ(std::filesystem::last_write_time(project), written);
}

TEST(DedupeCommand, BadProjectArgumentsOrLockedLayerFailAndKeepTheFile) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "zly.json", "{ nie json");
    ProgramRun run = runDedupe(dir, "'" + (dir / "zly.json").string() + "' --yes", {});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(testsupport::readFile(dir / "zly.json"), "{ nie json");
    run = runDedupe(dir, "", {});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("uzycie"), std::string::npos);

    model::ModelHost h;
    ASSERT_EQ(h.setLayerLocked(doubledDrawing(h).layer, true), host::kHostOk);
    const auto project = (dir / "projekt.json").string();
    ASSERT_TRUE(h.saveProject(project).ok);
    const std::string original = testsupport::readFile(project);
    run = runDedupe(dir, "'" + project + "' --yes", {});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Nie udalo sie usunac duplikatow - sprawdz, czy elementy nie leza na zablokowanej "
                              "warstwie lub nie sa zablokowane/zgrupowane."),
              std::string::npos)
        << run.output;
    EXPECT_EQ(testsupport::readFile(project), original);
}
