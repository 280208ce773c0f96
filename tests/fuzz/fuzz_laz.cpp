// Fuzz target: any bytes opened as a LAS/LAZ file and read to the end must never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/las/LasReader.h"

using las::LasReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LasReader reader;
    if (!reader.openBytes(std::string(reinterpret_cast<const char*>(data), size))) return 0;
    std::vector<char> batch(static_cast<std::size_t>(reader.header().pointRecordLength) * 256);
    while (reader.readPoints(batch.data(), 256) == 256) {}
    return 0;
}
