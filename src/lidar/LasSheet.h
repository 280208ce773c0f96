// One LiDAR sheet (LAS or LAZ) read as coloured points in the sheet's own coordinates.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/CloudPoint.h"
#include "formats/las/LasReader.h"

namespace lidar {

class LasSheet {
public:
    // Opens the sheet. False, with error(), when it cannot be read or holds nothing usable
    // (records shorter than 20 bytes, no points). `threads` above 1 decode LAZ chunks on that many threads.
    bool open(const std::filesystem::path& path, unsigned threads = 1);
    const las::LasHeader& header() const { return reader_.header(); }

    // The next point in file order: scaled coordinates, colour from the record's 16-bit channels (their high
    // bytes) or, for formats without colour, grey from the intensity's high byte; the LAS class (without the
    // flag bits that formats 0..5 keep in the same byte).
    // False at the end of the points or when a record cannot be read (then failed() is true).
    bool next(formats::CloudPoint& point);

    std::uint64_t pointsRead() const { return delivered_; }
    std::uint64_t pointsInHeader() const { return reader_.header().pointCount; }
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }

    // Where the colour channels start in a record of this format and length, or -1 for none.
    static int colourOffset(int pointFormat, int recordLength);
    // Where the class byte is, or -1 when it lies outside the record.
    static int classOffset(int pointFormat, int recordLength);
    // The grid of a sheet judged from its extent: a PL-2000 zone (2176..2179) when every easting lies in one
    // zone's million (5..8 million), else 0 (PL-1992 or unknown, read without conversion).
    static int epsgFromExtent(const las::LasHeader& header);

private:
    bool refill();

    las::LasReader reader_;
    int colourOffset_ = -1;
    int classOffset_ = -1;
    std::vector<char> batch_;
    std::size_t batchCapacity_ = 0;  // records per batch
    std::size_t batchPoints_ = 0;
    std::size_t batchNext_ = 0;
    std::uint64_t delivered_ = 0;
    bool failed_ = false;
    std::string error_;
};

}  // namespace lidar
