// Reading and writing the binary public header block of LAS files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/las/LasHeader.h"
#include "formats/las/LasStatus.h"

namespace las {

// Header size this project writes for a LAS minor version (227, 235 or 375 bytes).
std::uint16_t lasHeaderSizeForVersion(std::uint8_t versionMinor);
// Core record size of a point format 0..10 (0 for unknown formats).
std::uint16_t lasCoreRecordSize(std::uint8_t pointFormat);
// Parses the header block at the start of a file of fileSize bytes; data holds at least its first
// min(fileSize, 375) bytes. Checks every field later reading relies on.
LasStatus parseLasHeader(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, LasHeader& out);
// The header block bytes (header.headerSize of them); the compressed flag sets bit 7 of the format.
std::string encodeLasHeader(const LasHeader& header);

}  // namespace las
