#include "formats/las/LazWriter.h"

#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "formats/las/LasHeaderIo.h"
#include "formats/las/LasRecordTally.h"
#include "formats/las/detail/ArithmeticEncoder.h"
#include "formats/las/detail/LazIntegerCodec.h"
#include "formats/las/detail/LazLayeredCodec.h"
#include "formats/las/detail/LazPointwiseCodec.h"
#include "formats/las/detail/LazVlr.h"
#include "platform/Numbers.h"

namespace las {

using detail::ArithmeticEncoder;
using detail::encodeLazVlr;
using detail::LazIntegerCodec;
using detail::LazLayeredCodec;
using detail::LazPointwiseCodec;
using detail::LazVlr;
using detail::lazVlrForFormat;

namespace {

constexpr std::size_t kVlrHeaderSize = 54;

template <typename T>
void appendLe(std::string& out, T v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    out.append(b, sizeof v);
}

std::string vlrBlock(const std::string& payload) {
    std::string out(kVlrHeaderSize, '\0');
    std::memcpy(out.data() + 2, "laszip encoded", 14);
    const std::uint16_t recordId = 22204;
    const auto length = static_cast<std::uint16_t>(payload.size());
    std::memcpy(out.data() + 18, &recordId, 2);
    std::memcpy(out.data() + 20, &length, 2);
    std::memcpy(out.data() + 22, "Geodraft LAZ", 12);
    return out + payload;
}

}  // namespace

struct LazWriter::Impl {
    std::FILE* file = nullptr;
    std::filesystem::path path;
    LasHeader header;
    LazVlr vlr;
    LasRecordTally tally{LasHeader{}};
    std::unique_ptr<LazPointwiseCodec> pointwise;
    std::unique_ptr<LazLayeredCodec> layered;
    std::vector<char> pending;  // records of the chunk being filled
    std::uint32_t pendingCount = 0;
    std::vector<std::uint32_t> chunkBytes;
    std::vector<std::uint32_t> chunkPoints;
    std::string coded;

    LasStatus abandon(std::string message) {
        if (file) std::fclose(file);
        file = nullptr;
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return LasStatus::failure(std::move(message), path.string());
    }

    bool flushChunk() {
        if (pendingCount == 0) return true;
        coded.clear();
        if (layered) layered->encodeChunk(pending.data(), pendingCount, coded);
        else pointwise->encodeChunk(pending.data(), pendingCount, coded);
        chunkBytes.push_back(static_cast<std::uint32_t>(coded.size()));
        chunkPoints.push_back(pendingCount);
        pendingCount = 0;
        return std::fwrite(coded.data(), 1, coded.size(), file) == coded.size();
    }
};

LazWriter::LazWriter() : impl_(std::make_unique<Impl>()) {}

LazWriter::~LazWriter() {
    if (impl_->file) close();
}

LasStatus LazWriter::open(const std::filesystem::path& path, const LasHeader& header, LazWriteOptions options) {
    if (impl_->file) close();
    impl_ = std::make_unique<Impl>();
    LasHeader h = header;
    if (options.chunkSize == 0 || options.chunkSize == LazVlr::kVariableChunkSize)
        return LasStatus::failure("Nie mozna zapisac LAZ: nieprawidlowy rozmiar chunku");
    if (!lazVlrForFormat(h.pointFormat, h.pointRecordLength, options.chunkSize, impl_->vlr))
        return LasStatus::failure(platform::cformat("Nie mozna zapisac LAZ dla formatu punktu %u z rekordem %u bajtow",
                                                    static_cast<unsigned>(h.pointFormat),
                                                    static_cast<unsigned>(h.pointRecordLength)));
    h.versionMajor = 1;
    if (h.versionMinor > 4) h.versionMinor = 4;
    if (h.pointFormat >= 6) h.versionMinor = 4;
    h.headerSize = lasHeaderSizeForVersion(h.versionMinor);
    const std::string vlr = vlrBlock(encodeLazVlr(impl_->vlr));
    h.offsetToPointData = static_cast<std::uint32_t>(h.headerSize + vlr.size());
    h.vlrCount = 1;
    h.evlrCount = 0;
    h.evlrOffset = 0;
    h.compressed = true;
    h.lazCompressor = impl_->vlr.compressor;
    h.lazChunkSize = impl_->vlr.chunkSize;
    impl_->path = path;
    impl_->header = h;
    impl_->tally = LasRecordTally(h);
    if (h.pointFormat >= 6) impl_->layered = std::make_unique<LazLayeredCodec>(impl_->vlr.items);
    else impl_->pointwise = std::make_unique<LazPointwiseCodec>(impl_->vlr.items);
    impl_->pending.resize(static_cast<std::size_t>(options.chunkSize) * h.pointRecordLength);
    impl_->file = std::fopen(path.c_str(), "wb");
    if (!impl_->file) return LasStatus::failure("Nie mozna utworzyc pliku: " + path.string(), path.string());
    // Header and description now; the chunk table offset after the last chunk is known.
    std::string head = encodeLasHeader(h) + vlr;
    appendLe<std::int64_t>(head, -1);
    if (std::fwrite(head.data(), 1, head.size(), impl_->file) != head.size())
        return impl_->abandon("Blad zapisu pliku LAZ");
    return LasStatus::success();
}

LasStatus LazWriter::writePoint(const char* record) { return writePoints(record, 1); }

LasStatus LazWriter::writePoints(const char* records, std::uint64_t count) {
    Impl& w = *impl_;
    if (!w.file) return LasStatus::failure("Plik LAZ nie jest otwarty do zapisu");
    const std::size_t len = w.header.pointRecordLength;
    const std::uint32_t chunk = w.vlr.chunkSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        const char* rec = records + i * len;
        w.tally.add(rec);
        std::memcpy(w.pending.data() + static_cast<std::size_t>(w.pendingCount) * len, rec, len);
        if (++w.pendingCount == chunk && !w.flushChunk()) return w.abandon("Blad zapisu pliku LAZ");
    }
    return LasStatus::success();
}

LasStatus LazWriter::close() {
    Impl& w = *impl_;
    if (!w.file) return LasStatus::success();
    if (!w.flushChunk()) return w.abandon("Blad zapisu pliku LAZ");
    const long tablePos = std::ftell(w.file);
    if (tablePos < 0) return w.abandon("Blad zapisu pliku LAZ");

    // Chunk table: version, count, then each chunk's byte size coded against the previous one.
    std::string table;
    appendLe<std::uint32_t>(table, 0);
    appendLe<std::uint32_t>(table, static_cast<std::uint32_t>(w.chunkBytes.size()));
    ArithmeticEncoder enc;
    LazIntegerCodec ic(32, 2, false);
    std::uint32_t prev = 0;
    for (std::uint32_t bytes : w.chunkBytes) {
        ic.compress(enc, static_cast<std::int32_t>(prev), static_cast<std::int32_t>(bytes), 1);
        prev = bytes;
    }
    enc.done();
    table.append(reinterpret_cast<const char*>(enc.bytes().data()), enc.bytes().size());
    if (std::fwrite(table.data(), 1, table.size(), w.file) != table.size()) return w.abandon("Blad zapisu pliku LAZ");

    w.tally.applyTo(w.header);
    std::string head = encodeLasHeader(w.header);
    if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(head.data(), 1, head.size(), w.file) != head.size())
        return w.abandon("Blad zapisu naglowka LAZ");
    std::string offset;
    appendLe<std::int64_t>(offset, tablePos);
    if (std::fseek(w.file, static_cast<long>(w.header.offsetToPointData), SEEK_SET) != 0 ||
        std::fwrite(offset.data(), 1, offset.size(), w.file) != offset.size())
        return w.abandon("Blad zapisu pliku LAZ");
    const bool ok = std::fclose(w.file) == 0;
    w.file = nullptr;
    if (!ok) return w.abandon("Blad zapisu pliku LAZ");
    return LasStatus::success();
}

}  // namespace las
