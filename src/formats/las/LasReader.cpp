#include "formats/las/LasReader.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "formats/las/LasHeaderIo.h"
#include "formats/las/detail/ArithmeticDecoder.h"
#include "formats/las/detail/LazIntegerCodec.h"
#include "formats/las/detail/LazLayeredCodec.h"
#include "formats/las/detail/LazPointwiseCodec.h"
#include "formats/las/detail/LazVlr.h"
#include "platform/ByteOrder.h"
#include "platform/MappedFile.h"
#include "platform/Numbers.h"

namespace las {

using detail::ArithmeticDecoder;
using detail::LazIntegerCodec;
using detail::LazLayeredCodec;
using detail::LazPointwiseCodec;
using detail::LazVlr;
using detail::parseLazVlr;

namespace {

constexpr std::uint32_t kLazVlrRecordId = 22204;
constexpr std::size_t kVlrHeaderSize = 54;
// A chunk cannot hold more points than this many per byte of its data: even endlessly repeated
// points cost a few bits each. The limit keeps damaged counts from driving huge allocations.
constexpr std::uint64_t kMaxPointsPerByte = 4096;
// Records decoded per call into a codec; a failure loses at most the rest of one batch.
constexpr std::uint32_t kBatch = 4096;
// Chunks whose records take more memory than this are decoded piece by piece on the calling thread.
constexpr std::uint64_t kMaxThreadedChunkBytes = 64u << 20;

std::string chunkWhere(std::size_t index, std::uint64_t offset) {
    return platform::cformat("chunk %zu (bajt %llu)", index, static_cast<unsigned long long>(offset));
}

// One LAZ decoder of either kind.
class ChunkDecoder {
public:
    ChunkDecoder(const LazVlr& vlr, bool layered) {
        if (layered) layered_ = std::make_unique<LazLayeredCodec>(vlr.items);
        else pointwise_ = std::make_unique<LazPointwiseCodec>(vlr.items);
    }
    void begin(const std::uint8_t* data, std::size_t size) {
        if (layered_) layered_->beginChunk(data, size);
        else pointwise_->beginChunk(data, size);
    }
    LasStatus decode(char* out, std::uint32_t count, std::uint64_t* recordHash = nullptr) {
        return layered_ ? layered_->decode(out, count, recordHash) : pointwise_->decode(out, count, recordHash);
    }
    std::uint64_t done() const { return layered_ ? layered_->pointsDone() : pointwise_->pointsDone(); }
    std::size_t bytesUsed() const { return layered_ ? layered_->bytesUsed() : pointwise_->bytesUsed(); }
    // Point count the chunk states itself (layered chunks only; 0 when unknown).
    std::uint64_t statedCount() const { return layered_ ? layered_->chunkPointCount() : 0; }

private:
    std::unique_ptr<LazLayeredCodec> layered_;
    std::unique_ptr<LazPointwiseCodec> pointwise_;
};

}  // namespace

struct LasReader::Impl {
    struct Chunk {
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
        std::uint64_t count = 0;
    };
    struct Decoded {
        std::vector<char> records;
        std::uint64_t count = 0;  // good records at the front of `records`
        LasStatus status;
        std::optional<LasRecordSummary> tally;  // when summarizing: classes and bounds of the good records
    };

    ~Impl() { release(); }

    LasReadOptions options;
    LasHeader header;
    LasStatus status;
    bool isOpen = false;

    std::string owned;
    platform::MappedFile file;
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;

    std::uint64_t pointsRead = 0;
    std::uint64_t recordsInFile = 0;
    // Chunks left out with skipDamagedChunks: their points and the first one's failure, told at the end.
    std::uint64_t skippedPoints = 0;
    LasStatus skipped;  // uncompressed: whole records present after the point offset

    LazVlr vlr;
    std::vector<Chunk> chunks;
    std::size_t nextChunk = 0;
    std::unique_ptr<ChunkDecoder> decoder;
    std::uint64_t chunkLeft = 0;
    std::size_t currentChunk = 0;
    // Without a usable chunk table the chunks are found one after another, each starting where
    // the previous one's code ended: a cut download still yields its complete chunks.
    bool walking = false;
    std::uint64_t walkOffset = 0;
    std::uint64_t walkRemaining = 0;

    // Decoding ahead on worker threads; chunks are handed out strictly in file order. The reading
    // thread is one of the decoders too: rather than wait for the chunk it needs, it decodes a
    // later one, so `threads` decoders keep `threads` cores busy. The workers start with the first
    // read, which decides what they do: decode for readPoints, or decode and summarize.
    bool threadable = false;
    bool threaded = false;
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t scheduled = 0;
    std::size_t consumed = 0;
    bool stopping = false;
    std::map<std::size_t, Decoded> ready;
    std::vector<std::vector<char>> spare;  // record buffers of chunks handed out, reused
    // summarize(): `consumed` counts the chunks already in the hash; one thread at a time extends it.
    LasRecordSummary* sink = nullptr;
    bool chaining = false;
    bool summaryDone = false;
    Decoded current;
    std::uint64_t currentPos = 0;

    // Up to `maxCount` records of the current chunk copied to `out`; how many.
    std::uint64_t handOut(char* out, std::uint64_t maxCount) {
        const std::uint64_t n = std::min(maxCount, current.count - currentPos);
        std::memcpy(out, current.records.data() + currentPos * header.pointRecordLength,
                    static_cast<std::size_t>(n * header.pointRecordLength));
        currentPos += n;
        pointsRead += n;
        return n;
    }

    void release() {
        stopWorkers();
        file.close();
        owned.clear();
        data = nullptr;
        size = 0;
        isOpen = false;
        chunks.clear();
        decoder.reset();
        ready.clear();
        spare.clear();
        current = Decoded();
    }

    void stopWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (auto& t : workers) t.join();
        workers.clear();
        stopping = false;
    }

    LasStatus fail(std::string message, std::string where = {}) {
        status = LasStatus::failure(std::move(message), std::move(where));
        return status;
    }

    LasStatus openData();
    LasStatus readLazDescription();
    LasStatus readChunkTable();
    bool startWalkedChunk();
    // recordHash: extended over the records handed out, when they are decoded on this thread.
    std::uint64_t read(char* out, std::uint64_t maxCount, std::uint64_t* recordHash = nullptr);
    std::uint64_t readCompressedSequential(char* out, std::uint64_t maxCount, std::uint64_t* recordHash);
    std::uint64_t readCompressedThreaded(char* out, std::uint64_t maxCount);
    // With `tally`, also tallies the records batch by batch, while they are still in the cache; with `recordHash`,
    // extends it over the records, but only when the whole chunk decoded. A chunk that fails gives no records.
    Decoded decodeWhole(ChunkDecoder& dec, std::size_t index, std::vector<char> buffer, bool tally = false,
                        std::uint64_t* recordHash = nullptr);
    bool beginNextChunk();
    // Leaves out a chunk that failed, when the options allow: true to go on with the next one.
    bool skipChunk(const Decoded& d, std::size_t index);
    std::uint64_t pointsLeft() const { return header.pointCount - pointsRead - skippedPoints; }
    std::vector<char> takeSpare();
    // Chunks decoded ahead of the reader at most: two per decoder, so none waits on another's pace.
    std::size_t decodeWindow() const { return 2 * std::min<std::size_t>(options.threads, 16) + 1; }
    void startWorkers();
    void summarize(LasRecordSummary& summary);
    void summarizeThreaded(LasRecordSummary& summary);
    void shareSummary(ChunkDecoder& dec);
};

LasStatus LasReader::Impl::openData() {
    LasStatus st = parseLasHeader(data, static_cast<std::size_t>(std::min<std::uint64_t>(size, 375)), size, header);
    if (!st) return fail(st.message, st.where);
    if (!header.compressed) {
        recordsInFile = (size - header.offsetToPointData) / header.pointRecordLength;
        isOpen = true;
        return status;
    }
    st = readLazDescription();
    if (!st) return st;
    st = readChunkTable();
    if (!st) {
        if (vlr.compressor < 2 || header.pointCount == 0 || header.offsetToPointData + 8 > size)
            return fail(st.message, st.where);
        chunks.clear();
        walking = true;
        walkOffset = header.offsetToPointData + 8;
        walkRemaining = header.pointCount;
    }
    decoder = std::make_unique<ChunkDecoder>(vlr, header.pointFormat >= 6);
    isOpen = true;
    if (options.threads > 1 && chunks.size() > 1 && !walking) {
        std::uint64_t largest = 0;
        for (const auto& c : chunks) largest = std::max(largest, c.count);
        threadable = largest * header.pointRecordLength <= kMaxThreadedChunkBytes;
    }
    return status;
}

LasStatus LasReader::Impl::readLazDescription() {
    std::uint64_t pos = header.headerSize;
    const std::uint64_t end = header.offsetToPointData;
    for (std::uint32_t i = 0; i < header.vlrCount; ++i) {
        if (pos + kVlrHeaderSize > end) break;
        const std::uint8_t* vlrHead = data + pos;
        const std::uint16_t recordId = platform::readLittleEndian<std::uint16_t>(vlrHead + 18);
        const std::uint16_t length = platform::readLittleEndian<std::uint16_t>(vlrHead + 20);
        if (pos + kVlrHeaderSize + length > end)
            return fail("Uszkodzony plik LAZ: rekord VLR wychodzi poza naglowek", platform::cformat("VLR %u", i));
        const bool isLaszip =
            std::memcmp(vlrHead + 2, "laszip encoded", 14) == 0 && vlrHead[16] == 0 && recordId == kLazVlrRecordId;
        if (isLaszip) {
            LasStatus st =
                parseLazVlr(vlrHead + kVlrHeaderSize, length, header.pointFormat, header.pointRecordLength, vlr);
            if (!st) return fail(st.message, platform::cformat("VLR %u", i));
            header.lazCompressor = vlr.compressor;
            header.lazChunkSize = vlr.chunkSize;
            return status;
        }
        pos += kVlrHeaderSize + length;
    }
    return fail("Uszkodzony plik LAZ: brak opisu kompresji (VLR laszip)", "VLR");
}

LasStatus LasReader::Impl::readChunkTable() {
    const std::uint64_t pointData = header.offsetToPointData;
    const std::uint64_t limit = kMaxPointsPerByte;
    if (vlr.compressor == 1) {
        // One stream for all points, without a chunk table.
        const std::uint64_t bytes = size - pointData;
        if (header.pointCount > bytes * limit + 1)
            return LasStatus::failure("Uszkodzony plik LAZ: liczba punktow nie pasuje do rozmiaru pliku", "naglowek");
        if (header.pointCount > 0) chunks.push_back({pointData, bytes, header.pointCount});
        return status;
    }
    if (header.pointCount == 0) return status;
    if (pointData + 8 > size) return LasStatus::failure("Uszkodzony plik LAZ: brak danych punktow", "tablica chunkow");
    const std::uint64_t firstChunk = pointData + 8;
    std::int64_t tableOffset = platform::readLittleEndian<std::int64_t>(data + pointData);
    if (tableOffset == -1 || tableOffset == 0) {
        // Written by a streaming writer: the real offset is the file's last eight bytes.
        if (size < firstChunk + 8)
            return LasStatus::failure("Uszkodzony plik LAZ: brak tablicy chunkow", "tablica chunkow");
        tableOffset = platform::readLittleEndian<std::int64_t>(data + size - 8);
    }
    if (tableOffset < static_cast<std::int64_t>(firstChunk) || static_cast<std::uint64_t>(tableOffset) + 8 > size)
        return LasStatus::failure("Uszkodzony plik LAZ: tablica chunkow poza plikiem (plik urwany?)",
                                  "tablica chunkow");
    const auto table = static_cast<std::uint64_t>(tableOffset);
    const std::uint32_t version = platform::readLittleEndian<std::uint32_t>(data + table);
    const std::uint32_t count = platform::readLittleEndian<std::uint32_t>(data + table + 4);
    if (version != 0)
        return LasStatus::failure(platform::cformat("Uszkodzony plik LAZ: wersja tablicy chunkow %u", version),
                                  "tablica chunkow");
    const std::uint64_t dataBytes = table - firstChunk;
    if (count == 0 || count > dataBytes / header.pointRecordLength + 1)
        return LasStatus::failure(platform::cformat("Uszkodzony plik LAZ: niewiarygodna liczba chunkow %u", count),
                                  "tablica chunkow");

    const bool variable = vlr.chunkSize == LazVlr::kVariableChunkSize;
    ArithmeticDecoder dec;
    dec.init(data + table + 8, static_cast<std::size_t>(size - table - 8));
    LazIntegerCodec ic(32, 2, true);
    std::uint32_t prevCount = 0, prevBytes = 0;
    std::uint64_t offset = firstChunk, remaining = header.pointCount;
    chunks.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t points;
        if (variable) {
            prevCount = static_cast<std::uint32_t>(ic.decompress(dec, static_cast<std::int32_t>(prevCount), 0));
            points = prevCount;
        } else {
            points = std::min<std::uint64_t>(vlr.chunkSize, remaining);
        }
        prevBytes = static_cast<std::uint32_t>(ic.decompress(dec, static_cast<std::int32_t>(prevBytes), 1));
        if (dec.overrun() > 16 || dec.damaged())
            return LasStatus::failure("Uszkodzony plik LAZ: tablica chunkow urwana", "tablica chunkow");
        if (offset + prevBytes > table)
            return LasStatus::failure("Uszkodzony plik LAZ: chunk wychodzi poza dane punktow", chunkWhere(i, offset));
        if (points > static_cast<std::uint64_t>(prevBytes) * limit + 1)
            return LasStatus::failure("Uszkodzony plik LAZ: niewiarygodna liczba punktow w chunku",
                                      chunkWhere(i, offset));
        points = std::min(points, remaining);
        if (points > 0) chunks.push_back({offset, prevBytes, points});
        remaining -= points;
        offset += prevBytes;
    }
    return status;
}

LasReader::Impl::Decoded LasReader::Impl::decodeWhole(ChunkDecoder& dec, std::size_t index, std::vector<char> buffer,
                                                      bool tally, std::uint64_t* recordHash) {
    const Chunk& c = chunks[index];
    Decoded d;
    d.records = std::move(buffer);
    d.records.resize(static_cast<std::size_t>(c.count) * header.pointRecordLength);
    if (tally) d.tally.emplace(header);
    std::uint64_t hash = recordHash != nullptr ? *recordHash : 0;
    dec.begin(data + c.offset, static_cast<std::size_t>(c.bytes));
    std::uint64_t done = 0;
    while (done < c.count) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kBatch, c.count - done));
        char* batch = d.records.data() + done * header.pointRecordLength;
        LasStatus st = dec.decode(batch, n, recordHash != nullptr ? &hash : nullptr);
        if (!st) {
            // The arithmetic decoder notices damage only some way after it: the points before the failure are
            // garbage as well (heights of kilometres), so the chunk gives none.
            if (tally) d.tally.emplace(header);
            d.status = LasStatus::failure(st.message + platform::cformat(" (pominieto %llu punktow chunku)",
                                                                         static_cast<unsigned long long>(c.count)),
                                          chunkWhere(index, c.offset) + (st.where.empty() ? "" : ", " + st.where));
            return d;
        }
        if (tally) d.tally->tally(batch, n);
        done += n;
    }
    d.count = done;
    if (recordHash != nullptr) *recordHash = hash;
    return d;
}

std::vector<char> LasReader::Impl::takeSpare() {
    if (spare.empty()) return {};
    std::vector<char> b = std::move(spare.back());
    spare.pop_back();
    return b;
}

void LasReader::Impl::startWorkers() {
    const unsigned n = std::min<unsigned>(options.threads, 16);
    const std::size_t window = decodeWindow();
    for (unsigned w = 1; w < n; ++w) {
        workers.emplace_back([this, window] {
            ChunkDecoder dec(vlr, header.pointFormat >= 6);
            for (;;) {
                std::size_t index;
                std::vector<char> buffer;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(
                        lock, [&] { return stopping || (scheduled < chunks.size() && scheduled < consumed + window); });
                    if (stopping) return;
                    index = scheduled++;
                    buffer = takeSpare();
                }
                Decoded d = decodeWhole(dec, index, std::move(buffer));
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    ready.emplace(index, std::move(d));
                }
                changed.notify_all();
            }
        });
    }
}

bool LasReader::Impl::skipChunk(const Decoded& d, std::size_t index) {
    if (!options.skipDamagedChunks || walking) return false;
    if (skipped.ok) skipped = d.status;
    skippedPoints += chunks[index].count;
    return true;
}

std::uint64_t LasReader::Impl::read(char* out, std::uint64_t maxCount, std::uint64_t* recordHash) {
    if (!isOpen || !status.ok) return 0;
    maxCount = std::min(maxCount, pointsLeft());
    if (maxCount == 0) return 0;
    if (!header.compressed) {
        const std::uint64_t available = recordsInFile > pointsRead ? recordsInFile - pointsRead : 0;
        const std::uint64_t n = std::min(maxCount, available);
        std::memcpy(out, data + header.offsetToPointData + pointsRead * header.pointRecordLength,
                    static_cast<std::size_t>(n * header.pointRecordLength));
        pointsRead += n;
        if (n < maxCount)
            fail(platform::cformat("Plik LAS urwany: zawiera %llu z %llu punktow",
                                   static_cast<unsigned long long>(recordsInFile),
                                   static_cast<unsigned long long>(header.pointCount)),
                 "dane punktow");
        return n;
    }
    if (threadable && !threaded) {
        threaded = true;
        startWorkers();
    }
    const std::uint64_t n =
        threaded ? readCompressedThreaded(out, maxCount) : readCompressedSequential(out, maxCount, recordHash);
    // The points have ended: a chunk left out is told now.
    if (status.ok && !skipped.ok && pointsLeft() == 0) status = skipped;
    return n;
}

void LasReader::Impl::summarize(LasRecordSummary& summary) {
    if (isOpen && status.ok && threadable && !threaded) {
        threaded = true;
        summarizeThreaded(summary);
        return;
    }
    std::vector<char> batch(static_cast<std::size_t>(header.pointRecordLength) * kBatch);
    std::uint64_t n;
    if (header.compressed && !threaded) {
        // Decoding on this thread alone: the hash is extended point by point as they are decoded.
        std::uint64_t hash = summary.hash();
        while ((n = read(batch.data(), kBatch, &hash)) > 0) summary.tally(batch.data(), n);
        summary.setHash(hash);
        return;
    }
    while ((n = read(batch.data(), kBatch)) > 0) summary.add(batch.data(), n);
}

void LasReader::Impl::summarizeThreaded(LasRecordSummary& summary) {
    sink = &summary;
    const unsigned n = std::min<unsigned>(options.threads, 16);
    for (unsigned w = 1; w < n; ++w)
        workers.emplace_back([this] {
            ChunkDecoder dec(vlr, header.pointFormat >= 6);
            shareSummary(dec);
        });
    shareSummary(*decoder);
    stopWorkers();
    sink = nullptr;
    if (status.ok && pointsRead < header.pointCount)
        fail("Uszkodzony plik LAZ: mniej punktow niz podaje naglowek", "tablica chunkow");
}

// Run by every thread until the summary is complete. The hash must take the chunks in file order,
// one after another, so whichever thread finds the next chunk decoded and the hash free extends
// it; otherwise the thread decodes (and tallies) the next chunk nobody has taken yet. Thus the
// hash moves between the threads and no thread waits while there is work.
void LasReader::Impl::shareSummary(ChunkDecoder& dec) {
    const std::size_t window = decodeWindow();
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping && !summaryDone) {
        const auto next = chaining ? ready.end() : ready.find(consumed);
        if (next != ready.end()) {
            Decoded d = std::move(next->second);
            ready.erase(next);
            chaining = true;
            lock.unlock();
            sink->chain(d.records.data(), d.count);
            sink->merge(*d.tally);
            lock.lock();
            chaining = false;
            ++consumed;
            pointsRead += d.count;
            if (!d.status.ok) status = d.status;
            summaryDone = !d.status.ok || consumed == chunks.size();
            spare.push_back(std::move(d.records));
            changed.notify_all();
        } else if (scheduled < chunks.size() && scheduled < consumed + window) {
            const std::size_t index = scheduled++;
            std::vector<char> buffer = takeSpare();
            lock.unlock();
            Decoded d = decodeWhole(dec, index, std::move(buffer), true);
            lock.lock();
            ready.emplace(index, std::move(d));
            changed.notify_all();
        } else {
            changed.wait(lock);
        }
    }
}

bool LasReader::Impl::beginNextChunk() {
    if (walking) return startWalkedChunk();
    if (nextChunk >= chunks.size()) {
        fail("Uszkodzony plik LAZ: mniej punktow niz podaje naglowek", "tablica chunkow");
        return false;
    }
    currentChunk = nextChunk++;
    decoder->begin(data + chunks[currentChunk].offset, static_cast<std::size_t>(chunks[currentChunk].bytes));
    chunkLeft = chunks[currentChunk].count;
    return true;
}

// Chunks are decoded whole before their records are handed out, so a chunk that fails gives none. Only a
// chunk too long to hold (an unchunked LAZ of old writers) is handed out as it decodes.
std::uint64_t LasReader::Impl::readCompressedSequential(char* out, std::uint64_t maxCount, std::uint64_t* recordHash) {
    std::uint64_t total = 0;
    while (total < maxCount) {
        if (currentPos < current.count) {
            total += handOut(out + total * header.pointRecordLength, maxCount - total);
            continue;
        }
        if (chunkLeft == 0) {
            if (!current.status.ok) {
                if (!skipChunk(current, currentChunk)) {
                    status = current.status;
                    break;
                }
                current.status = LasStatus::success();
            }
            if (pointsLeft() == 0) break;
            if (!beginNextChunk()) break;
            if (chunkLeft * header.pointRecordLength <= kMaxThreadedChunkBytes) {
                current = decodeWhole(*decoder, currentChunk, std::move(current.records), false, recordHash);
                currentPos = 0;
                chunkLeft = 0;
                if (walking) walkOffset += decoder->bytesUsed();
                continue;
            }
        }
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>({maxCount - total, chunkLeft, kBatch}));
        const std::uint64_t before = decoder->done();
        LasStatus st = decoder->decode(out + total * header.pointRecordLength, n, recordHash);
        if (!st) {
            const std::uint64_t good = decoder->done() - before;
            total += good;
            pointsRead += good;
            const Chunk& c = chunks[currentChunk];
            fail(st.message, chunkWhere(currentChunk, c.offset) + (st.where.empty() ? "" : ", " + st.where));
            break;
        }
        total += n;
        pointsRead += n;
        chunkLeft -= n;
        if (walking && chunkLeft == 0) walkOffset += decoder->bytesUsed();
    }
    return total;
}

bool LasReader::Impl::startWalkedChunk() {
    const std::size_t index = chunks.size();
    if (walkOffset >= size) {
        fail("Uszkodzony plik LAZ: plik urwany, brak dalszych punktow", chunkWhere(index, walkOffset));
        return false;
    }
    Chunk c{walkOffset, size - walkOffset, 0};
    decoder->begin(data + c.offset, static_cast<std::size_t>(c.bytes));
    std::uint64_t count = vlr.chunkSize;
    if (vlr.chunkSize == LazVlr::kVariableChunkSize) count = decoder->statedCount();
    if (vlr.compressor == 1) count = walkRemaining;
    count = std::min(count, walkRemaining);
    if (count == 0 || count > c.bytes * kMaxPointsPerByte + 1) {
        fail("Uszkodzony plik LAZ: nie mozna odnalezc kolejnego chunku", chunkWhere(index, walkOffset));
        return false;
    }
    c.count = count;
    chunks.push_back(c);
    currentChunk = index;
    chunkLeft = count;
    walkRemaining -= count;
    return true;
}

std::uint64_t LasReader::Impl::readCompressedThreaded(char* out, std::uint64_t maxCount) {
    std::uint64_t total = 0;
    while (total < maxCount) {
        if (currentPos == current.count) {
            if (!current.status.ok) {
                if (!skipChunk(current, consumed - 1)) {
                    status = current.status;
                    break;
                }
                current.status = LasStatus::success();
            }
            if (pointsLeft() == 0) break;
            std::unique_lock<std::mutex> lock(mutex);
            if (consumed >= chunks.size()) {
                lock.unlock();
                fail("Uszkodzony plik LAZ: mniej punktow niz podaje naglowek", "tablica chunkow");
                break;
            }
            const std::size_t window = decodeWindow();
            while (ready.count(consumed) == 0) {
                if (scheduled < chunks.size() && scheduled < consumed + window) {
                    const std::size_t index = scheduled++;
                    std::vector<char> buffer = takeSpare();
                    lock.unlock();
                    Decoded d = decodeWhole(*decoder, index, std::move(buffer));
                    lock.lock();
                    ready.emplace(index, std::move(d));
                } else {
                    changed.wait(lock);
                }
            }
            if (!current.records.empty()) spare.push_back(std::move(current.records));
            current = std::move(ready[consumed]);
            ready.erase(consumed);
            ++consumed;
            currentPos = 0;
            lock.unlock();
            changed.notify_all();
            continue;
        }
        total += handOut(out + total * header.pointRecordLength, maxCount - total);
    }
    return total;
}

LasReader::LasReader() : impl_(std::make_unique<Impl>()) {}
LasReader::~LasReader() = default;
LasReader::LasReader(LasReader&&) noexcept = default;
LasReader& LasReader::operator=(LasReader&&) noexcept = default;

LasStatus LasReader::open(const std::filesystem::path& path, LasReadOptions options) {
    impl_ = std::make_unique<Impl>();
    impl_->options = options;
    switch (impl_->file.open(path)) {
        case platform::MappedFile::OpenResult::cannotOpen:
            return impl_->fail("Nie mozna otworzyc pliku: " + path.string(), "plik");
        case platform::MappedFile::OpenResult::notRegularFile:
            return impl_->fail("To nie jest zwykly plik: " + path.string(), "plik");
        case platform::MappedFile::OpenResult::ok: break;
    }
    impl_->data = impl_->file.data();
    impl_->size = impl_->file.size();
    return impl_->openData();
}

LasStatus LasReader::openBytes(std::string bytes, LasReadOptions options) {
    impl_ = std::make_unique<Impl>();
    impl_->options = options;
    impl_->owned = std::move(bytes);
    impl_->data = reinterpret_cast<const std::uint8_t*>(impl_->owned.data());
    impl_->size = impl_->owned.size();
    return impl_->openData();
}

void LasReader::close() { impl_ = std::make_unique<Impl>(); }

bool LasReader::isOpen() const { return impl_->isOpen; }
const LasHeader& LasReader::header() const { return impl_->header; }

bool LasReader::readPoint(char* record) { return impl_->read(record, 1) == 1; }

std::uint64_t LasReader::readPoints(char* records, std::uint64_t maxCount) { return impl_->read(records, maxCount); }

const LasStatus& LasReader::summarize(LasRecordSummary& summary) {
    impl_->summarize(summary);
    return impl_->status;
}

std::uint64_t LasReader::pointsRead() const { return impl_->pointsRead; }
const LasStatus& LasReader::status() const { return impl_->status; }

}  // namespace las
