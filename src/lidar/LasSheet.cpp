#include "lidar/LasSheet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ByteOrder.h"

using formats::CloudPoint;
using las::LasHeader, las::LasStatus;

namespace lidar {

namespace {

constexpr std::size_t kBatchPoints = 4096;
// Records can be up to 64 KiB long (extra bytes); the batch is held to this size, not to 4096 records.
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
constexpr int kMinRecordLength = 20;

std::int32_t int32At(const char* record, int offset) {
    return platform::readLittleEndian<std::int32_t>(record + offset);
}

}  // namespace

int LasSheet::colourOffset(int pointFormat, int recordLength) {
    int offset = -1;
    switch (pointFormat) {
        case 2: offset = 20; break;
        case 3:
        case 5: offset = 28; break;
        case 7:
        case 8:
        case 10: offset = 30; break;  // 10 is 8 with wave packets: the same colour position
        default: return -1;
    }
    return offset + 6 <= recordLength ? offset : -1;
}

int LasSheet::classOffset(int pointFormat, int recordLength) {
    const int offset = pointFormat < 6 ? 15 : 16;
    return offset < recordLength ? offset : -1;
}

int LasSheet::epsgFromExtent(const LasHeader& h) {
    if (!(h.minX >= 5.0e6 && h.maxX < 9.0e6)) return 0;
    const int million = static_cast<int>(std::floor(h.minX / 1.0e6));
    if (static_cast<int>(std::floor(h.maxX / 1.0e6)) != million) return 0;
    return 2171 + million;
}

bool LasSheet::open(const std::filesystem::path& path, unsigned threads) {
    const LasStatus status = reader_.open(path, las::LasReadOptions{threads});
    if (!status.ok) {
        error_ = status.message.empty() ? "Nie mozna odczytac pliku LAS/LAZ." : status.message;
        return false;
    }
    const LasHeader& h = reader_.header();
    if (h.pointRecordLength < kMinRecordLength) {
        error_ = "Rekord punktu krotszy niz 20 bajtow.";
        return false;
    }
    if (h.pointCount == 0) {
        error_ = "Plik nie zawiera punktow.";
        return false;
    }
    colourOffset_ = colourOffset(h.pointFormat, h.pointRecordLength);
    classOffset_ = classOffset(h.pointFormat, h.pointRecordLength);
    batchCapacity_ = std::max<std::size_t>(1, std::min(kBatchPoints, kBatchBytes / h.pointRecordLength));
    if (h.pointCount < batchCapacity_) batchCapacity_ = static_cast<std::size_t>(h.pointCount);
    batch_.assign(batchCapacity_ * h.pointRecordLength, 0);
    return true;
}

bool LasSheet::refill() {
    if (failed_ || !reader_.isOpen()) return false;
    batchPoints_ = static_cast<std::size_t>(reader_.readPoints(batch_.data(), batchCapacity_));
    batchNext_ = 0;
    if (batchPoints_ == 0 && !reader_.status().ok) {
        failed_ = true;
        error_ = reader_.status().message;
    }
    return batchPoints_ > 0;
}

bool LasSheet::next(CloudPoint& p) {
    if (batchNext_ >= batchPoints_ && !refill()) return false;
    const LasHeader& h = reader_.header();
    const char* r = batch_.data() + batchNext_ * h.pointRecordLength;
    ++batchNext_;
    ++delivered_;
    p.x = int32At(r, 0) * h.scaleX + h.offsetX;
    p.y = int32At(r, 4) * h.scaleY + h.offsetY;
    p.z = int32At(r, 8) * h.scaleZ + h.offsetZ;
    if (colourOffset_ >= 0) {
        p.red = static_cast<std::uint8_t>(r[colourOffset_ + 1]);
        p.green = static_cast<std::uint8_t>(r[colourOffset_ + 3]);
        p.blue = static_cast<std::uint8_t>(r[colourOffset_ + 5]);
    } else {
        p.red = p.green = p.blue = static_cast<std::uint8_t>(r[13]);
    }
    p.classification = classOffset_ >= 0 ? static_cast<std::uint8_t>(r[classOffset_]) : 0;
    // Before format 6 the top three bits of that byte are flags (synthetic, key point, withheld); left in,
    // a flagged ground point would no longer read as class 2.
    if (h.pointFormat < 6) p.classification &= 0x1F;
    return true;
}

}  // namespace lidar
