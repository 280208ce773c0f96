// GPS time codec of LASzip: times as 64-bit integers predicted from up to four running sequences.
#pragma once
#include <cstdint>

#include "formats/las/detail/ArithmeticDecoder.h"
#include "formats/las/detail/ArithmeticEncoder.h"
#include "formats/las/detail/ArithmeticModel.h"
#include "formats/las/detail/LazIntegerCodec.h"

namespace las::detail {

// Two dialects share the scheme: the legacy item (pointwise chunks) can say "unchanged" itself,
// the extended point says it in its own change flags, so its symbol tables are one shorter.
class LazGpsTimeCodec {
public:
    LazGpsTimeCodec(bool legacyItem, bool forDecoding, std::uint64_t firstTime);

    // Next time after the previous one; false when the stream is damaged.
    bool decode(ArithmeticDecoder& dec, std::uint64_t& time);
    void encode(ArithmeticEncoder& enc, std::uint64_t time);

private:
    bool legacy_;
    std::uint32_t codeFull_;  // symbol that starts a new sequence with a full 64-bit time
    ArithmeticModel multiModel_;
    ArithmeticModel zeroDiffModel_;
    LazIntegerCodec ic_;
    unsigned last_ = 0;
    unsigned next_ = 0;
    std::int64_t lastTime_[4] = {0, 0, 0, 0};
    std::int32_t lastDiff_[4] = {0, 0, 0, 0};
    std::int32_t extremeCounter_[4] = {0, 0, 0, 0};
};

}  // namespace las::detail
