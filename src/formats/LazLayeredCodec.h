// Chunk codec for point formats 6..8: each field group coded into its own layer, with separate
// prediction contexts for up to four scanner channels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/LasStatus.h"
#include "formats/LazVlr.h"

class LazLayeredCodec {
public:
    // items: a checked list of Point14, then Rgb14 or RgbNir14, then Byte14; version 3 or 4.
    explicit LazLayeredCodec(std::vector<LazItem> items);
    ~LazLayeredCodec();

    // Starts decoding a chunk (used as LazPointwiseCodec); the chunk's bytes must stay in place.
    void beginChunk(const std::uint8_t* data, std::size_t size);
    // Decodes the next `count` records of the chunk into out (count * recordLength bytes).
    LasStatus decode(char* out, std::uint32_t count);
    // Records of the current chunk decoded successfully so far.
    std::uint64_t pointsDone() const;
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
