#include "formats/las/LasRecordTally.h"

#include <cstring>

namespace las {

LasRecordTally::LasRecordTally(const LasHeader& h)
    : extended_(h.pointFormat >= 6), scale_{h.scaleX, h.scaleY, h.scaleZ}, offset_{h.offsetX, h.offsetY, h.offsetZ} {}

void LasRecordTally::add(const char* record) {
    std::int32_t xyz[3];
    std::memcpy(xyz, record, 12);
    for (int i = 0; i < 3; ++i) {
        if (count_ == 0 || xyz[i] < min_[i]) min_[i] = xyz[i];
        if (count_ == 0 || xyz[i] > max_[i]) max_[i] = xyz[i];
    }
    const auto bits = static_cast<std::uint8_t>(record[14]);
    const unsigned ret = extended_ ? (bits & 0x0F) : (bits & 0x07);
    if (ret >= 1 && ret <= 15) ++byReturn_[ret - 1];
    ++count_;
}

void LasRecordTally::applyTo(LasHeader& h) const {
    h.pointCount = count_;
    h.pointsByReturn = byReturn_;
    double* mins[3] = {&h.minX, &h.minY, &h.minZ};
    double* maxs[3] = {&h.maxX, &h.maxY, &h.maxZ};
    for (int i = 0; i < 3; ++i) {
        const double a = count_ ? min_[i] * scale_[i] + offset_[i] : 0.0;
        const double b = count_ ? max_[i] * scale_[i] + offset_[i] : 0.0;
        *mins[i] = a < b ? a : b;  // a negative scale swaps the ends
        *maxs[i] = a < b ? b : a;
    }
}

}  // namespace las
