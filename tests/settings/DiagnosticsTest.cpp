// Per-user folders, the atomic write, diagnostic files and the number texts of user messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "EnvOverride.h"
#include "platform/Paths.h"
#include "settings/SettingsAndDiagnostics.h"
#include "support/TestSupport.h"

namespace settings {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0xFFFFu;
}

}  // namespace

TEST(UserFolders, UnusableEnvironmentFallsBackToHome) {
    testsupport::TempDir tmp;
    EnvOverride home("HOME", tmp.path.string());
    // Unset, empty or relative values fall back to the home folder (relative ones are invalid for XDG).
    EnvOverride c("XDG_CONFIG_HOME", std::nullopt), k("XDG_CACHE_HOME", ""), s("XDG_STATE_HOME", "rel/state"),
        t("TMPDIR", std::nullopt);
    EXPECT_EQ(platform::configDir(), tmp.path / ".config");
    EXPECT_EQ(platform::cacheDir(), tmp.path / ".cache");
    EXPECT_EQ(platform::stateDir(), tmp.path / ".local/state");
    EXPECT_EQ(platform::tempDir(), fs::path("/tmp"));
}

TEST(UserFolders, DiagnosticsFolderIsPrivate) {
    testsupport::TempDir tmp;
    EnvOverride state("XDG_STATE_HOME", (tmp.path / "state").string());
    const fs::path dir = platform::diagnosticsDir();
    EXPECT_EQ(dir, tmp.path / "state" / "TERRAVOX");
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(modeOf(dir), 0700u);

    ::chmod(dir.c_str(), 0777);
    platform::diagnosticsDir();
    EXPECT_EQ(modeOf(dir), 0700u) << "an existing folder with wide rights is narrowed";
}

TEST(AtomicWrite, ReplacesTheWholeFileEvenWithConcurrentWriters) {
    testsupport::TempDir tmp;
    const fs::path target = tmp / "data.txt";
    ASSERT_TRUE(platform::writeFileAtomically(target, "second, longer content"));
    ASSERT_TRUE(platform::writeFileAtomically(target, ""));
    EXPECT_EQ(readFile(target), "");

    // Concurrent writers: every reader sees one complete version, never a mixture.
    const std::string a(200000, 'a');
    const std::string b(100000, 'b');
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 20; ++i) EXPECT_TRUE(platform::writeFileAtomically(target, (w + i) % 2 ? a : b));
        });
    for (int i = 0; i < 50; ++i) {
        const std::string seen = readFile(target);
        EXPECT_TRUE(seen == a || seen == b || seen.empty()) << seen.size();
    }
    for (auto& t : writers) t.join();
    const std::string last = readFile(target);
    EXPECT_TRUE(last == a || last == b);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.path)) ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary files left behind";
}

TEST(DiagnosticFiles, WriteAppendAndStayInsideTheFolder) {
    testsupport::TempDir tmp;
    EnvOverride state("XDG_STATE_HOME", (tmp.path / "state").string());
    const fs::path dir = tmp.path / "state" / "TERRAVOX";

    EXPECT_EQ(diagnosticPath(kGeoDiagFile), dir / "velmora_geo_diag.txt");
    ASSERT_TRUE(writeDiagnosticFile(kGeoDiagFile, "pierwszy\n"));
    ASSERT_TRUE(writeDiagnosticFile(kGeoDiagFile, "drugi\n"));
    EXPECT_EQ(readFile(dir / "velmora_geo_diag.txt"), "drugi\n");

    ASSERT_TRUE(webDiagnosticLine("strona zapisana"));
    ASSERT_TRUE(appendDiagnosticLine(kWebDiagFile, "przegladarka gotowa"));
    EXPECT_EQ(readFile(dir / "velmora_web_diag.txt"), "strona zapisana\nprzegladarka gotowa\n");

    // A name with folder parts cannot escape the diagnostics folder.
    EXPECT_EQ(diagnosticPath("../../evil.txt"), dir / "evil.txt");
    EXPECT_EQ(diagnosticPath("/etc/passwd"), dir / "passwd");

    // A link planted in place of a diagnostic file is not followed.
    writeFile(tmp / "victim.txt", "nietkniety");
    fs::create_symlink(tmp / "victim.txt", dir / kZDiagFile);
    EXPECT_FALSE(appendDiagnosticLine(kZDiagFile, "z=1"));
    EXPECT_EQ(readFile(tmp / "victim.txt"), "nietkniety");
    EXPECT_TRUE(writeDiagnosticFile(kZDiagFile, "z=2\n"));
    EXPECT_EQ(readFile(tmp / "victim.txt"), "nietkniety");
    EXPECT_EQ(readFile(dir / kZDiagFile), "z=2\n");

    // A diagnostics folder that cannot exist: the text is dropped, the caller goes on.
    EnvOverride blocked("XDG_STATE_HOME", (tmp.path / "plain").string());
    writeFile(tmp / "plain", "x");
    EXPECT_FALSE(webDiagnosticLine("zgubiony"));
}

TEST(DiagnosticFiles, PrivateWhateverTheUmask) {
    testsupport::TempDir tmp;
    EnvOverride state("XDG_STATE_HOME", (tmp.path / "state").string());
    const fs::path dir = tmp.path / "state" / "TERRAVOX";
    fs::create_directories(dir);
    writeFile(dir / kWebDiagFile, "stary\n");
    fs::permissions(dir / kWebDiagFile, fs::perms(0644));
    for (const mode_t mask : {mode_t{0}, mode_t{0277}}) {
        const mode_t previous = ::umask(mask);
        ASSERT_TRUE(writeDiagnosticFile(kGeoDiagFile, "x\n"));
        ASSERT_TRUE(webDiagnosticLine("y"));
        ::umask(previous);
        EXPECT_EQ(modeOf(dir / kGeoDiagFile), 0600u) << mask;
        EXPECT_EQ(modeOf(dir / kWebDiagFile), 0600u) << mask;
        fs::remove(dir / kGeoDiagFile);
    }
}

TEST(NumberTexts, DecimalCommaWhateverTheLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* locale : {"C", "pl_PL.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) == nullptr) continue;
        SCOPED_TRACE(locale);
        EXPECT_EQ(formatNumber(1234.5), "1234,50");
        EXPECT_EQ(formatNumber(-0.125), "-0,12");
        EXPECT_EQ(formatNumber(999999.994), "999999,99");
        EXPECT_EQ(formatNumber(1000000.0), "1e+06");
        EXPECT_EQ(formatNumber(-2500000.0), "-2,5e+06");
    }
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace settings
