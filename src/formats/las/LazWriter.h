// Writes a LASzip-compressed (LAZ) file from raw point records.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>

#include "formats/las/LasHeader.h"
#include "formats/las/LasStatus.h"

namespace las {

struct LazWriteOptions {
    // Points per chunk; every chunk is compressed on its own and listed in the chunk table.
    std::uint32_t chunkSize = 50000;
};

// Usage as LasWriter. Point formats 0..3 are written pointwise (compressor 2), 6..8 layered
// (compressor 3); any extra bytes beyond the core record are compressed too. Other formats are refused.
class LazWriter {
public:
    LazWriter();
    ~LazWriter();
    LazWriter(const LazWriter&) = delete;
    LazWriter& operator=(const LazWriter&) = delete;

    LasStatus open(const std::filesystem::path& path, const LasHeader& header, LazWriteOptions options = {});
    // Appends one raw record of header.pointRecordLength bytes.
    LasStatus writePoint(const char* record);
    LasStatus writePoints(const char* records, std::uint64_t count);
    // Flushes the last chunk, writes the chunk table and the final header, and closes the file.
    LasStatus close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace las
