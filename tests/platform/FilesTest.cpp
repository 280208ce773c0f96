// Atomic file replacement, mapped files and byte order.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"
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

TEST(ByteOrder, ValuesHaveTheirFileLayout) {
    unsigned char b[8] = {};
    platform::writeLittleEndian<std::uint16_t>(b, 0x0102);
    EXPECT_EQ(std::vector<unsigned char>(b, b + 2), (std::vector<unsigned char>{0x02, 0x01}));
    platform::writeLittleEndian<float>(b, 1.0f);
    EXPECT_EQ(std::vector<unsigned char>(b, b + 4), (std::vector<unsigned char>{0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(platform::readLittleEndian<std::int64_t>("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), -2);
    EXPECT_EQ(platform::readLittleEndian<double>("\x00\x00\x00\x00\x00\x00\xF0\x3F"), 1.0);
    std::string appended;
    platform::appendLittleEndian<std::uint32_t>(appended, 0x0A0B0C0D);
    EXPECT_EQ(appended, "\x0D\x0C\x0B\x0A");
    platform::writeBigEndian32(b, 0x0A0B0C0D);
    EXPECT_EQ(platform::readBigEndian32(b), 0x0A0B0C0Du);
    EXPECT_EQ(b[0], 0x0A);
    EXPECT_EQ(platform::readBigEndian16("\x01\x02"), 0x0102);
}
