#include "formats/las/LasRecordSummary.h"

#include "formats/las/detail/RecordHash.h"
#include "platform/ByteOrder.h"

namespace las {

LasRecordSummary::LasRecordSummary(const LasHeader& h)
    : length_(h.pointRecordLength),
      classAt_(h.pointFormat >= 6 ? 16 : 15),
      classMask_(h.pointFormat >= 6 ? 0xFFu : 0x1Fu) {}

void LasRecordSummary::add(const char* records, std::uint64_t count) {
    chain(records, count);
    tally(records, count);
}

void LasRecordSummary::tally(const char* records, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto* rec = reinterpret_cast<const std::uint8_t*>(records + i * length_);
        ++classes_[rec[classAt_] & classMask_];
        for (int k = 0; k < 3; ++k) {
            const auto v = platform::readLittleEndian<std::int32_t>(rec + 4 * k);
            if (count_ == 0 || v < min_[k]) min_[k] = v;
            if (count_ == 0 || v > max_[k]) max_[k] = v;
        }
        ++count_;
    }
}

void LasRecordSummary::chain(const char* records, std::uint64_t count) {
    hash_ = detail::extendRecordHash(hash_, reinterpret_cast<const std::uint8_t*>(records), count * length_);
}

void LasRecordSummary::merge(const LasRecordSummary& tallied) {
    if (tallied.count_ == 0) return;
    for (std::size_t c = 0; c < classes_.size(); ++c) classes_[c] += tallied.classes_[c];
    for (int k = 0; k < 3; ++k) {
        if (count_ == 0 || tallied.min_[k] < min_[k]) min_[k] = tallied.min_[k];
        if (count_ == 0 || tallied.max_[k] > max_[k]) max_[k] = tallied.max_[k];
    }
    count_ += tallied.count_;
}

}  // namespace las
