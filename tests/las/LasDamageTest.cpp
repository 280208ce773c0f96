// Damaged input: cut files and flipped bytes end with an error status, never a crash or a hang.
// Meant to run under the sanitizer build as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "LasTestSupport.h"
#include "formats/las/LasRecordSummary.h"
#include "support/TestSupport.h"

using las::LasReadOptions, las::LasReader, las::LasRecordSummary, las::LasStatus;
using lastest::Case, lastest::lifelikeRecords;

namespace {

// Reads everything; returns the number of records handed out.
std::uint64_t drain(const std::string& bytes, LasStatus& open, LasStatus& read, unsigned threads = 1) {
    LasReader reader;
    open = reader.openBytes(bytes, LasReadOptions{threads});
    if (!open) {
        char rec[128];
        EXPECT_FALSE(reader.readPoint(rec));
        return 0;
    }
    std::vector<char> buf(static_cast<std::size_t>(reader.header().pointRecordLength) * 512);
    std::uint64_t total = 0;
    for (;;) {
        const std::uint64_t n = reader.readPoints(buf.data(), 512);
        total += n;
        if (n < 512) break;
    }
    read = reader.status();
    EXPECT_LE(total, reader.header().pointCount);
    return total;
}

std::string lazBytes(const Case& c, std::size_t count, std::uint32_t chunk) {
    testsupport::TempDir dir;
    const auto records = lifelikeRecords(c.format, c.recordLength, count, 4242, c.format >= 6);
    return testsupport::readFile(lastest::writeLaz(dir / "d.laz", c, records, chunk));
}

}  // namespace

// Every cut is noticed. A LAZ cut short loses its chunk table, yet the chunks before the cut are still handed out;
// a plain LAS cut inside its points hands out every whole record.
TEST(LasDamage, CutFilesReportWhereTheyEndAndKeepTheGoodPoints) {
    for (const Case c : {Case{3, 34}, Case{7, 36}, Case{8, 40}}) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        const auto records = lifelikeRecords(c.format, c.recordLength, 3000, 8, c.format >= 6);
        testsupport::TempDir dir;
        const std::string whole = testsupport::readFile(lastest::writeLaz(dir / "w.laz", c, records, 700));
        // Every cut from inside the header to just before the end.
        LasStatus open, read;
        for (std::size_t cut = 0; cut < whole.size(); cut += (cut < 1500 ? 7 : 97)) {
            drain(whole.substr(0, cut), open, read);
            EXPECT_FALSE(open.ok && read.ok) << "cut at " << cut << " of " << whole.size() << " went unnoticed";
        }

        LasReader reader;
        ASSERT_TRUE(reader.openBytes(whole.substr(0, whole.size() * 6 / 10)));
        std::vector<char> got(records.size());
        const std::uint64_t n = reader.readPoints(got.data(), 3000);
        EXPECT_EQ(n, 1400u);  // the two chunks wholly before the cut, nothing of the one cut through
        EXPECT_TRUE(
            std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(n * c.recordLength), records.begin()));
        EXPECT_FALSE(reader.status().ok);
        EXPECT_NE(reader.status().where.find("chunk"), std::string::npos) << reader.status().where;

        // A complete file whose chunk table offset was damaged reads whole.
        std::string damaged = whole;
        const std::int64_t wrong = 12345678;
        std::memcpy(damaged.data() + reader.header().offsetToPointData, &wrong, 8);
        EXPECT_EQ(drain(damaged, open, read), 3000u);
        EXPECT_TRUE(open.ok && read.ok) << open.message << read.message;
    }
    testsupport::TempDir dir;
    const std::string las =
        testsupport::readFile(lastest::writeLas(dir / "c.las", Case{1, 28}, lifelikeRecords(1, 28, 100, 1)));
    LasStatus open, read;
    EXPECT_EQ(drain(las.substr(0, las.size() - 28 * 40 - 5), open, read), 59u);
    EXPECT_TRUE(open.ok);
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.message.find("urwany"), std::string::npos);
}

// Damage inside one chunk: the chunks before it come out whole and the damaged one gives none of its points (those
// decoded before the damage was noticed are garbage), alike on threads and in summarize().
TEST(LasDamage, DamageInsideAChunkStopsThereAlikeWithAndWithoutThreads) {
    for (const Case c : {Case{1, 28}, Case{8, 38}}) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        const std::size_t length = c.recordLength;
        std::string bytes = lazBytes(c, 1500, 600);
        // Zero a run of bytes in the middle of the third chunk (the file ends with the table).
        const std::size_t at = bytes.size() - bytes.size() / 5;
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 40),
                  '\xFF');
        std::vector<char> first, second;
        LasStatus statuses[2];
        for (unsigned threads : {1u, 2u}) {
            LasReader reader;
            ASSERT_TRUE(reader.openBytes(bytes, LasReadOptions{threads}));
            std::vector<char>& out = threads == 1 ? first : second;
            out.resize(static_cast<std::size_t>(1500) * length);
            out.resize(reader.readPoints(out.data(), 1500) * length);
            statuses[threads - 1] = reader.status();
        }
        EXPECT_EQ(first.size(), static_cast<std::size_t>(1200) * length);
        EXPECT_TRUE(first == second);
        EXPECT_FALSE(statuses[0].ok);
        EXPECT_EQ(statuses[0].message, statuses[1].message);
        EXPECT_NE(statuses[0].where.find("chunk 2"), std::string::npos) << statuses[0].where;

        for (unsigned threads : {1u, 2u, 3u}) {
            LasReader reader;
            ASSERT_TRUE(reader.openBytes(bytes, LasReadOptions{threads}));
            LasRecordSummary expected(reader.header()), got(reader.header());
            expected.add(first.data(), first.size() / length);
            const LasStatus st = reader.summarize(got);
            EXPECT_EQ(got.count(), expected.count()) << threads << " thread(s)";
            EXPECT_EQ(got.hash(), expected.hash()) << threads << " thread(s)";
            EXPECT_EQ(reader.pointsRead(), expected.count());
            EXPECT_EQ(st.where, statuses[0].where);
        }
    }
}

TEST(LasDamage, FlippedBytesNeverCrashOrOverrun) {
    std::mt19937 rng(20261206);
    for (const Case c : {Case{1, 28}, Case{3, 37}, Case{6, 30}, Case{7, 36}, Case{8, 41}}) {
        const std::string whole = lazBytes(c, 1500, 600);
        for (int trial = 0; trial < 300; ++trial) {
            std::string bytes = whole;
            const int flips = 1 + trial % 4;
            for (int f = 0; f < flips; ++f) {
                // Half the flips land in the header and descriptions, where sizes and counts live.
                const std::size_t at =
                    (trial % 2) ? rng() % std::min<std::size_t>(bytes.size(), 500) : rng() % bytes.size();
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8)));
            }
            LasStatus open, read;
            drain(bytes, open, read, trial % 3 == 0 ? 2 : 1);
        }
    }
}

TEST(LasDamage, HostileHeadersAreRefusedBeforeAnyAllocation) {
    const std::string good = lazBytes(Case{7, 36}, 200, 100);
    auto patched = [&](std::size_t at, const void* v, std::size_t n) {
        std::string b = good;
        std::memcpy(b.data() + at, v, n);
        return b;
    };
    const std::uint64_t huge64 = 0x7FFFFFFFFFFFFFFFull;
    const std::uint32_t huge32 = 0xFFFFFFFFu;
    const std::uint16_t tiny = 10;
    const std::string cases[] = {
        patched(247, &huge64, 8),                     // absurd LAS 1.4 point count
        patched(96, &huge32, 4),                      // point data beyond the file
        patched(105, &tiny, 2),                       // record shorter than the format
        std::string("LASF") + std::string(50, '\0'),  // header cut short
        std::string("not a point cloud at all"),
        std::string(),
    };
    for (const auto& bytes : cases) {
        LasStatus open, read;
        drain(bytes, open, read);
        EXPECT_FALSE(open.ok && read.ok) << "case " << (&bytes - cases);
    }
    // A VLR count larger than the space before the points: the records that are there still read.
    LasStatus open, read;
    EXPECT_EQ(drain(patched(100, &huge32, 4), open, read), 200u);
    EXPECT_TRUE(open.ok && read.ok) << open.message << read.message;
    LasReader missing;
    const LasStatus st = missing.open("/nonexistent/folder/sheet.laz");
    EXPECT_FALSE(st.ok);
    EXPECT_NE(st.message.find("Nie mozna otworzyc"), std::string::npos);
}
