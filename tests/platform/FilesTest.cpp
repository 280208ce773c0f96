// Atomic file replacement and mapped files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/MappedFile.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    return out;
}

}  // namespace

TEST(WriteFileAtomically, FailureNamesTheTargetAndLeavesNoTemporary) {
    testsupport::TempDir dir;
    fs::create_directory(dir / "folder");
    for (const fs::path& target : {dir / "missing" / "a.txt", dir / "folder"}) {
        SCOPED_TRACE(target.string());
        std::string error;
        EXPECT_FALSE(platform::writeFileAtomically(target, "x", error));
        EXPECT_EQ(error, "Nie mozna zapisac pliku: " + target.string());
    }
    EXPECT_EQ(namesIn(dir.path), std::vector<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

TEST(MappedFile, OpenTellsMissingFromNotRegularAndHandsOutTheBytes) {
    testsupport::TempDir dir;
    platform::MappedFile file;
    EXPECT_EQ(file.open(dir / "missing.bin"), platform::MappedFile::OpenResult::cannotOpen);
    EXPECT_EQ(file.open(dir.path), platform::MappedFile::OpenResult::notRegularFile);
    for (const std::string& bytes : {std::string(), std::string("LASF\0\x01", 6)}) {
        testsupport::writeFile(dir / "f.bin", bytes);
        ASSERT_EQ(file.open(dir / "f.bin"), platform::MappedFile::OpenResult::ok);
        platform::MappedFile moved = std::move(file);
        ASSERT_EQ(moved.size(), bytes.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(moved.data()), bytes.size()), bytes);
        EXPECT_EQ(file.size(), 0u);
    }
}
