// Reads LAS and LAZ point clouds: the header, then the raw point records in file order.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "formats/las/LasHeader.h"
#include "formats/las/LasRecordSummary.h"
#include "formats/las/LasStatus.h"

namespace las {

struct LasReadOptions {
    // Threads decoding LAZ chunks: the calling thread and threads - 1 workers (0 or 1: the calling
    // thread alone).
    unsigned threads = 1;
    // readPoint/readPoints: a LAZ chunk that fails to decode is left out and reading goes on with the next one
    // (when the file has a chunk table); the status tells of the first such chunk once the points have ended.
    // Otherwise (and in summarize) reading ends at the damaged chunk.
    bool skipDamagedChunks = false;
};

// Usage: open(path); then readPoint/readPoints until they return false/0; status() tells an error from the end.
// Every record handed out is exactly header().pointRecordLength bytes, the same bytes an uncompressed
// LAS file holds for that point. A damaged file ends with an error status, never a crash or a hang;
// the records before the damage are still handed out (a LAZ cut short, whose chunk table is lost,
// yields its complete chunks). LAZ: point formats 0..3 (item versions 1 and 2) and 6..8 (versions
// 3 and 4), fixed or variable chunks; waveform formats are refused at open.
class LasReader {
public:
    LasReader();
    ~LasReader();
    LasReader(const LasReader&) = delete;
    LasReader& operator=(const LasReader&) = delete;
    LasReader(LasReader&&) noexcept;
    LasReader& operator=(LasReader&&) noexcept;

    // Opens a LAS or LAZ file and reads its header and LASzip description.
    LasStatus open(const std::filesystem::path& path, LasReadOptions options = {});
    // Same for a file already in memory (tests, fuzzing); the reader keeps its own copy.
    LasStatus openBytes(std::string bytes, LasReadOptions options = {});
    void close();

    bool isOpen() const;
    const LasHeader& header() const;

    // Copies the next raw record into `record` (header().pointRecordLength bytes).
    // False at the end of the points or on an error (then status() is not ok).
    bool readPoint(char* record);
    // Copies up to maxCount records back to back into `records`; returns how many were copied.
    // Fewer than asked means the end of the points or an error (see status()).
    std::uint64_t readPoints(char* records, std::uint64_t maxCount);

    // Reads every record not yet read into `summary`: the same figures and hash as readPoints in a
    // loop with summary.add, but when called first on a LAZ opened with several threads, every
    // thread both decodes chunks and extends the hash, so none is left idle. Returns status().
    const LasStatus& summarize(LasRecordSummary& summary);

    // Records handed out so far.
    std::uint64_t pointsRead() const;
    // Ok until something went wrong while opening or reading.
    const LasStatus& status() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace las
