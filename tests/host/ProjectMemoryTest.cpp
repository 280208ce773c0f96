// A large project is read, edited and written without holding many copies of itself: the peak memory of the
// programs that open it stays within a small multiple of the file's size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/ModelHost.h"
#include "support/TestSupport.h"

extern char** environ;

namespace {

// Peak resident memory of one run of geodraft with these arguments (standard input and output on /dev/null),
// in bytes; -1 when it could not run or did not end with exit code 0.
long long peakOfRun(const std::vector<std::string>& args) {
    const std::string program = (testsupport::binaryDir() / "app/geodraft").string();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &io, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&io);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

TEST(ProjectMemory, OpeningEditingAndSavingATerrainProjectStaysNearItsSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine make peak sizes meaningless";
#endif
    testsupport::TempDir dir;
    const std::filesystem::path project = dir / "projekt.json";
    // Built in a child process: a spawned program's peak counts from the spawning process's own (the two
    // share memory until the exec), so this one stays small.
    const pid_t builder = ::fork();
    ASSERT_NE(builder, -1);
    if (builder == 0) {  // Thirteen placements of terrain, about 100,000 level points each.
        model::ModelHost h;
        for (int placement = 0; placement < 13; ++placement) {
            host::MeshElement mesh;
            h.defaultMesh(mesh);
            const double x0 = placement * 320.0;
            mesh.outline = {{x0, 0, 0}, {x0 + 316, 0, 0}, {x0 + 316, 316, 0}, {x0, 316, 0}};
            for (int i = 0; i < 316; ++i)
                for (int j = 0; j < 316; ++j)
                    mesh.levelLines.push_back(
                        {{x0 + i * 1.0000001 + 0.1234567, j * 1.0000001 + 0.7654321, 101.25 + 0.0011 * (i * j % 997)}});
            host::ElementId id;
            if (h.undoableCommand("Import GIS", [&] { return h.createMesh(mesh, id); }) != host::kHostOk) ::_exit(1);
        }
        ::_exit(h.saveProject(project).ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(builder, &status, 0), builder);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto size = static_cast<long long>(std::filesystem::file_size(project));
    ASSERT_GT(size, 50'000'000);

    struct Run {
        const char* what;
        std::vector<std::string> args;
    };
    for (const Run& run : {Run{"session", {"session", "--project", project.string()}},
                           Run{"dedupe", {"dedupe", project.string(), "--yes"}}}) {
        SCOPED_TRACE(run.what);
        const long long peak = peakOfRun(run.args);
        ASSERT_GT(peak, 0) << "the program failed";
        EXPECT_LT(peak, 3 * size) << "peak " << peak / 1'000'000 << " MB for a project of " << size / 1'000'000
                                  << " MB";
    }
}

}  // namespace
