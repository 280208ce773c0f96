// The headless palette as a real process: page messages on standard input, the page's received
// messages on standard output, report lines on standard error, the project file on disk.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

namespace {

struct SessionRun {
    int exitCode = -1;
    std::vector<std::string> out;  // standard output, line by line
    std::string err;

    std::vector<nlohmann::json> messages() const {
        std::vector<nlohmann::json> m;
        for (const auto& line : out) m.push_back(nlohmann::json::parse(line));
        return m;
    }
};

class Session : public ::testing::Test {
protected:
    // The shell command of `geodraft session ARGS` reading input.txt, with user folders in the test folder and no
    // web request leaving the machine.
    std::string command(const std::string& args) const {
        return "env XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_STATE_HOME='" + (dir / "state").string() +
               "' GEODRAFT_SERVICES=offline '" + (testsupport::binaryDir() / "app/geodraft").string() + "' session " +
               args + " < '" + (dir / "input.txt").string() + "' > '" + (dir / "out.txt").string() + "' 2> '" +
               (dir / "err.txt").string() + "'";
    }
    // Runs the session with the lines as standard input.
    SessionRun run(const std::string& args, const std::vector<std::string>& input) {
        std::string text;
        for (const auto& l : input) text += l + "\n";
        testsupport::writeFile(dir / "input.txt", text);
        const int status = std::system(command(args).c_str());
        SessionRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::istringstream outStream(testsupport::readFile(dir / "out.txt"));
        for (std::string line; std::getline(outStream, line);) r.out.push_back(line);
        r.err = testsupport::readFile(dir / "err.txt");
        return r;
    }
    std::string project() const { return (dir / "project.gdp").string(); }

    testsupport::TempDir dir;
};

}  // namespace

TEST_F(Session, ImportPaletteAnswersEachLineInOrder) {
    // The handlers' own answers are checked on the bridge; here: which lines answer, in what order.
    const SessionRun r = run("", {
                                     R"j({"type":"ping"})j",
                                     R"j({"type":"getInit"})j",
                                     "# a comment line",
                                     "",
                                     "not json",
                                     R"j({"type":"settingsChanged","mapping":{"dzialki":"A","xyz":"B"}})j",
                                     R"j({"type":"fetch","bboxWgs84":[20.0,52.0,21.0]})j",
                                 });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto m = r.messages();
    ASSERT_EQ(m.size(), 3u) << testing::PrintToString(r.out);
    EXPECT_EQ(m[0]["type"], "pong");
    EXPECT_EQ(m[0]["wersja"], "1.8.0");
    EXPECT_TRUE(m[0]["build"].is_string());
    // getInit without georeference, the comment, the empty line and settingsChanged answer nothing.
    EXPECT_EQ(r.out[1], R"j({"msg":"Nieprawidlowa wiadomosc z UI (JSON)","type":"error"})j");
    EXPECT_EQ(r.out[2], R"j({"msg":"Nieprawidlowy bbox","type":"error"})j");

    // The mapping was saved in the user's settings file.
    const nlohmann::json settings = nlohmann::json::parse(testsupport::readFile(dir / "config/TERRAVOX/settings.json"));
    EXPECT_EQ(settings["layers"]["dzialki"], "A");
}

TEST_F(Session, ADamagedSettingsFileIsReportedOnce) {
    testsupport::writeFile(dir / "config/TERRAVOX/settings.json", "{\"upgToken\":\"tajny\",}");
    const std::string report = "report: TERRAVOX: plik ustawien ";
    SessionRun r = run("", {R"j({"type":"settingsChanged","mapping":{"budynki":"B"}})j"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(report), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(report), r.err.rfind(report));
    EXPECT_EQ(run("", {}).err.find(report), std::string::npos) << "the next start finds a sound file";
}

TEST_F(Session, EndOfInputWaitsForTheLastFetch) {
    const SessionRun r = run("", {R"j({"type":"fetch","bboxWgs84":[20.0,52.0,20.01,52.01]})j"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, (std::vector<std::string>{
                         R"j({"done":0,"label":"Pobieranie warstw","total":1,"type":"progress"})j",
                         R"j({"counts":{},"type":"fetchDone","warning":"Nic nie pobrano dla tego obszaru."})j"}));
    EXPECT_EQ(r.err.find("report: "), std::string::npos) << "a fetch without notes reports nothing";
}

TEST_F(Session, GeoreferenceIsSavedWithTheProjectAndReadBack) {
    SessionRun r = run("--project '" + project() + "'",
                       {R"j({"type":"getInit"})j", R"j({"type":"setOrigin","lat":52.2297,"lon":21.0122})j",
                        R"j({"type":"getInit"})j", "#sleep 20", R"j({"type":"getLayers"})j"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto m = r.messages();
    ASSERT_EQ(m.size(), 3u) << testing::PrintToString(r.out);
    EXPECT_EQ(m[0]["type"], "originSet");
    EXPECT_NEAR(m[1]["lat"].get<double>(), 52.2297, 1e-8);
    EXPECT_NEAR(m[1]["lon"].get<double>(), 21.0122, 1e-8);
    EXPECT_EQ(m[2]["type"], "layerList");
    EXPECT_NE(r.err.find("report: TERRAVOX: ustawiono georeferencje projektu: E=7500833."), std::string::npos) << r.err;
    ASSERT_TRUE(std::filesystem::exists(project()));

    r = run("--project '" + project() + "'", {R"j({"type":"getInit"})j"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    m = r.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NEAR(m[0]["lat"].get<double>(), 52.2297, 1e-8);
    EXPECT_NEAR(m[0]["lon"].get<double>(), 21.0122, 1e-8);
}

TEST_F(Session, UnreadableProjectIsNeverOverwritten) {
    testsupport::writeFile(project(), "{ to nie jest projekt");
    const SessionRun r = run("--project '" + project() + "'", {R"j({"type":"setOrigin","lat":52.0,"lon":21.0})j"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("nie mozna wczytac projektu"), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::readFile(project()), "{ to nie jest projekt");
}

TEST_F(Session, EndlessBinaryOrGiantProjectsEndWithAMessage) {
    // A sparse file of 5 GB takes no room on disk.
    const std::string giant = (dir / "giant.gdp").string();
    testsupport::writeFile(giant, "");
    std::filesystem::resize_file(giant, 5ull << 30);
    struct Case {
        std::string command, message;
    };
    const std::string program = "'" + (testsupport::binaryDir() / "app/geodraft").string() + "' ";
    for (const Case& c :
         {Case{"model /dev/zero", "to nie jest tekst JSON"}, Case{"model '" + giant + "'", "Projekt zbyt duzy"},
          Case{"export /dev/zero --out '" + (dir / "out").string() + "'", "to nie jest tekst JSON"},
          Case{"dedupe '" + giant + "' --yes", "Projekt zbyt duzy"}}) {
        SCOPED_TRACE(c.command);
        const int status =
            std::system((program + c.command + " >/dev/null 2>'" + (dir / "err").string() + "'").c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_NE(testsupport::readFile(dir / "err").find(c.message), std::string::npos);
    }
    const SessionRun r = run("--project '" + giant + "'", {});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Projekt zbyt duzy"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(giant), 5ull << 30);
}

TEST_F(Session, InterruptedSessionSavesWhatWasDoneAndLeavesNoTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove(project());
        std::filesystem::remove(dir / "out.txt");
        testsupport::writeFile(dir / "input.txt", R"j({"type":"setOrigin","lat":52.2,"lon":21.0})j"
                                                  "\n#sleep 60000\n");
        const std::string shell = "exec " + command("--project '" + project() + "'");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", shell.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The signal comes once the georeference is set (the session then sleeps for a minute).
        for (int i = 0; i < 400 && testsupport::readFile(dir / "out.txt").find("originSet") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_NE(testsupport::readFile(dir / "err.txt").find("projekt zapisany"), std::string::npos);
        const std::string saved = testsupport::readFile(project());
        EXPECT_NE(saved.find("EPSG:2178"), std::string::npos) << "what was done is in the project";
        for (const auto& entry : std::filesystem::directory_iterator(dir.path))
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
}

TEST_F(Session, CloudPaletteAndCommandLine) {
    SessionRun r = run("--palette cloud", {R"j({"type":"ping"})j", R"j({"type":"fetch"})j"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto m = r.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_FALSE(m[0].contains("wersja"));
    EXPECT_EQ(r.out[1], R"j({"msg":"Brak obslugi wiadomosci: fetch","type":"error"})j");

    EXPECT_EQ(run("--palette mapa", {}).exitCode, 2);
    EXPECT_EQ(run("--project", {}).exitCode, 2);
    // A project that does not exist yet starts empty and is written at the end.
    r = run("--palette import --project '" + project() + "'", {});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(std::filesystem::exists(project()));
}
