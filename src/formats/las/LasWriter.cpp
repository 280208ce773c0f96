#include "formats/las/LasWriter.h"

#include <cstdio>
#include <system_error>

#include "formats/las/LasHeaderIo.h"
#include "formats/las/LasRecordTally.h"
#include "platform/Numbers.h"

namespace las {

struct LasWriter::Impl {
    std::FILE* file = nullptr;
    std::filesystem::path path;
    LasHeader header;
    LasRecordTally tally{LasHeader{}};

    LasStatus abandon(std::string message) {
        if (file) std::fclose(file);
        file = nullptr;
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return LasStatus::failure(std::move(message), path.string());
    }
};

LasWriter::LasWriter() : impl_(std::make_unique<Impl>()) {}

LasWriter::~LasWriter() {
    if (impl_->file) close();
}

LasStatus LasWriter::open(const std::filesystem::path& path, const LasHeader& header) {
    if (impl_->file) close();
    LasHeader h = header;
    const std::uint16_t core = lasCoreRecordSize(h.pointFormat);
    if (core == 0 || h.pointRecordLength < core)
        return LasStatus::failure(platform::cformat("Nie mozna zapisac LAS: format punktu %u z rekordem %u bajtow",
                                                    static_cast<unsigned>(h.pointFormat),
                                                    static_cast<unsigned>(h.pointRecordLength)));
    h.versionMajor = 1;
    if (h.versionMinor > 4) h.versionMinor = 4;
    if (h.pointFormat >= 6) h.versionMinor = 4;  // the new point formats exist only in LAS 1.4
    h.headerSize = lasHeaderSizeForVersion(h.versionMinor);
    h.offsetToPointData = h.headerSize;
    h.vlrCount = 0;
    h.evlrCount = 0;
    h.evlrOffset = 0;
    h.compressed = false;
    h.lazCompressor = 0;
    h.lazChunkSize = 0;
    impl_->path = path;
    impl_->header = h;
    impl_->tally = LasRecordTally(h);
    impl_->file = std::fopen(path.c_str(), "wb");
    if (!impl_->file) return LasStatus::failure("Nie mozna utworzyc pliku: " + path.string(), path.string());
    const std::string head = encodeLasHeader(h);
    if (std::fwrite(head.data(), 1, head.size(), impl_->file) != head.size())
        return impl_->abandon("Blad zapisu pliku LAS");
    return LasStatus::success();
}

LasStatus LasWriter::writePoint(const char* record) { return writePoints(record, 1); }

LasStatus LasWriter::writePoints(const char* records, std::uint64_t count) {
    if (!impl_->file) return LasStatus::failure("Plik LAS nie jest otwarty do zapisu");
    const std::size_t len = impl_->header.pointRecordLength;
    for (std::uint64_t i = 0; i < count; ++i) impl_->tally.add(records + i * len);
    if (std::fwrite(records, len, static_cast<std::size_t>(count), impl_->file) != count)
        return impl_->abandon("Blad zapisu pliku LAS");
    return LasStatus::success();
}

LasStatus LasWriter::close() {
    if (!impl_->file) return LasStatus::success();
    impl_->tally.applyTo(impl_->header);
    const std::string head = encodeLasHeader(impl_->header);
    if (std::fseek(impl_->file, 0, SEEK_SET) != 0 ||
        std::fwrite(head.data(), 1, head.size(), impl_->file) != head.size())
        return impl_->abandon("Blad zapisu naglowka LAS");
    const bool ok = std::fclose(impl_->file) == 0;
    impl_->file = nullptr;
    if (!ok) return impl_->abandon("Blad zapisu pliku LAS");
    return LasStatus::success();
}

}  // namespace las
