// Writes an uncompressed LAS file from raw point records.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>

#include "formats/las/LasHeader.h"
#include "formats/las/LasStatus.h"

namespace las {

// Usage: open(path, header); writePoint for each record; close(). Version, point format, record length,
// scales, offsets and identification come from the caller's header; point counts, counts by return and
// bounds are computed from the records written. LAS 1.0 to 1.4, point formats 0..10.
class LasWriter {
public:
    LasWriter();
    ~LasWriter();
    LasWriter(const LasWriter&) = delete;
    LasWriter& operator=(const LasWriter&) = delete;

    LasStatus open(const std::filesystem::path& path, const LasHeader& header);
    // Appends one raw record of header.pointRecordLength bytes.
    LasStatus writePoint(const char* record);
    // Appends `count` records stored back to back.
    LasStatus writePoints(const char* records, std::uint64_t count);
    // Writes the final counts and bounds into the header and closes the file.
    LasStatus close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace las
