// Chunk codec for legacy point formats 0..3: all fields of a point coded in turn by one coder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/las/LasStatus.h"
#include "formats/las/detail/LazVlr.h"

namespace las::detail {

// A chunk is decoded in pieces: beginChunk, then decode until its points are used up. The chunk's
// bytes must stay in place meanwhile. One object decodes one chunk at a time.
class LazPointwiseCodec {
public:
    // items: a checked list (parseLazVlr / lazVlrForFormat) of Point10, GpsTime11, Rgb12, Byte; version 2,
    // or version 1 (LASzip 1.x files) for decoding only.
    explicit LazPointwiseCodec(std::vector<LazItem> items);
    ~LazPointwiseCodec();

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
    // Appends the coded chunk of `count` records to out.
    void encodeChunk(const char* records, std::uint32_t count, std::string& out) const;

    std::uint16_t recordLength() const { return recordLength_; }

private:
    struct State;
    std::vector<LazItem> items_;
    std::uint16_t recordLength_ = 0;
    std::unique_ptr<State> state_;
};

}  // namespace las::detail
