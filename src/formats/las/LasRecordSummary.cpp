#include "formats/las/LasRecordSummary.h"

#include "platform/ByteOrder.h"

namespace las {

LasRecordSummary::LasRecordSummary(const LasHeader& h)
    : length_(h.pointRecordLength),
      classAt_(h.pointFormat >= 6 ? 16 : 15),
      classMask_(h.pointFormat >= 6 ? 0xFFu : 0x1Fu) {}

void LasRecordSummary::add(const char* records, std::uint64_t count) {
    // The hash is one long chain of dependent steps; a local keeps it in a register.
    std::uint64_t hash = hash_;
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto* rec = reinterpret_cast<const std::uint8_t*>(records + i * length_);
        for (std::size_t b = 0; b < length_; ++b) hash = (hash ^ rec[b]) * 0x100000001b3ull;
        ++classes_[rec[classAt_] & classMask_];
        for (int k = 0; k < 3; ++k) {
            const auto v = platform::readLittleEndian<std::int32_t>(rec + 4 * k);
            if (count_ == 0 || v < min_[k]) min_[k] = v;
            if (count_ == 0 || v > max_[k]) max_[k] = v;
        }
        ++count_;
    }
    hash_ = hash;
}

}  // namespace las
