// Chunk codec for point formats 6..8: each field group coded into its own layer, with separate
// prediction contexts for up to four scanner channels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/las/LasStatus.h"
#include "formats/las/detail/LazVlr.h"

namespace las::detail {

class LazLayeredCodec {
public:
    // items: a checked list of Point14, then Rgb14 or RgbNir14, then Byte14; version 3 or 4.
    explicit LazLayeredCodec(std::vector<LazItem> items);
    ~LazLayeredCodec();

    // Starts decoding a chunk (used as LazPointwiseCodec); the chunk's bytes must stay in place.
    void beginChunk(const std::uint8_t* data, std::size_t size);
    // Decodes the next `count` records of the chunk into out (count * recordLength bytes). With
    // recordHash, also extends that hash (extendRecordHash) over every record handed out, point by
    // point, so that its chain of multiplications runs alongside the decoding.
    LasStatus decode(char* out, std::uint32_t count, std::uint64_t* recordHash = nullptr);
    // Records of the current chunk decoded successfully so far.
    std::uint64_t pointsDone() const;
    // Bytes the current chunk occupies, known once its points are decoded (0 when unknown); lets
    // a reader find the next chunk when the chunk table is missing.
    std::size_t bytesUsed() const;
    // The point count stored at the start of the current chunk (0 when the chunk is too short).
    std::uint64_t chunkPointCount() const;
    // Appends the coded chunk of `count` records to out.
    void encodeChunk(const char* records, std::uint32_t count, std::string& out) const;

    std::uint16_t recordLength() const { return recordLength_; }

private:
    struct State;
    LasStatus startLayers();

    std::vector<LazItem> items_;
    std::uint16_t recordLength_ = 0;
    std::unique_ptr<State> state_;
};

}  // namespace las::detail
