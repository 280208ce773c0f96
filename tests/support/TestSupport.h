// Helpers shared by every test program: where the real data, the sources and the built programs are.
#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// Folder of the shared real-world data (may not exist on every machine).
std::filesystem::path realdataDir();
// Path of a file under the real-data folder; empty path when the folder is absent.
std::filesystem::path realdata(const std::string& relative);
// Root of the project's sources.
std::filesystem::path sourceDir();
// Root of the build tree (programs are at binaryDir()/app/geodraft and binaryDir()/sim/geodraft-sim).
std::filesystem::path binaryDir();
// A fresh empty folder for one test, removed when the object goes out of scope.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};
// Whole file as bytes.
std::string readFile(const std::filesystem::path& p);
// Writes bytes to a file (creating folders).
void writeFile(const std::filesystem::path& p, const std::string& bytes);

}  // namespace testsupport

// Skips the current test when the real-data folder or one of its files is missing.
#define GD_REQUIRE_REALDATA(relative)                                                                   \
    do {                                                                                                \
        if (!std::filesystem::exists(::testsupport::realdataDir() / (relative)))                        \
            GTEST_SKIP() << "real data not available: " << (::testsupport::realdataDir() / (relative)); \
    } while (0)
