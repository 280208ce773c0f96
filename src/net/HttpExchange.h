// Stateless HTTP exchanges over libcurl: one whole answer in memory, or a body streamed chunk by chunk.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace net {

// Result of performRequest: the whole answer, whatever its status.
struct HttpResult {
    long long status = 0;  // HTTP status, 0 when none arrived
    std::string body;
    std::string error;        // empty when the exchange itself worked
    bool ok = false;          // status in 200..299 and no error
    std::string contentType;  // the answer's Content-Type header, "" when none
};

// Result of performDownload; the body went to the chunk callback.
struct HttpStreamResult {
    long long status = 0;
    std::string error;
    bool ok = false;
};

// Receives one chunk of a streamed body: bytes, their count, the announced length (0 when none).
// Returns false to cancel the download.
using ChunkCallback = std::function<bool(const char* data, std::size_t size, long long contentLength)>;

// What ends a transfer besides its time-outs: an overall deadline (0: none) and a cancel query asked while
// waiting for data (a cancelled transfer fails with "Pobieranie anulowane.").
struct TransferLimits {
    int deadlineMs = 0;
    std::function<bool()> cancelled;
};

// Connect time-out used for every request.
constexpr int kConnectTimeoutMs = 8000;

// Sends one request (any method) with an optional header block ("Name: value\r\n"...) and body.
HttpResult performRequest(const std::string& method, const std::string& url, const std::string& headerBlock,
                          const std::string& body, int connectTimeoutMs, int receiveTimeoutMs,
                          const std::string& userAgent, const TransferLimits& limits = {});

// Sends a GET and hands the 2xx body to `onChunk` as it arrives; checks the announced length.
HttpStreamResult performDownload(const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
                                 const std::string& userAgent, const ChunkCallback& onChunk,
                                 const TransferLimits& limits = {});

}  // namespace net
