#include "net/HttpExchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "net/ServiceEndpoints.h"
#include "net/UrlText.h"
#include "net/detail/CurlLibrary.h"
#include "platform/Numbers.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

// Reached only once openTransfer() has found the library.
const detail::CurlLibrary& libcurl() { return *detail::curlLibrary(); }

void trace(const std::string& line) {
    if (std::getenv("GIS_DEBUG_HTTP") != nullptr) std::fputs(line.c_str(), stderr);
}

// Only http and https with a host, no blanks or control bytes (they would split the request line).
bool isWellFormedUrl(const std::string& url) {
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return false;
    std::string scheme = url.substr(0, schemeEnd);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return false;
    const auto hostStart = schemeEnd + 3;
    const auto hostEnd = url.find_first_of("/?#", hostStart);
    if ((hostEnd == std::string::npos ? url.size() : hostEnd) == hostStart) return false;
    for (unsigned char c : url)
        if (c <= 0x20 || c == 0x7F) return false;
    return true;
}

// State of one transfer, shared with libcurl's callbacks.
struct Transfer {
    CURL* curl = nullptr;
    int receiveTimeoutMs = 0;
    const TransferLimits* limits = nullptr;
    Clock::time_point started = Clock::now();
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    bool timedOut = false;
    bool loopbackOnly = false;
    curl_slist* connectTo = nullptr;  // freed by the caller after the transfer
    // Whole-body mode.
    std::string* body = nullptr;
    // Streaming mode.
    const ChunkCallback* onChunk = nullptr;
    std::exception_ptr failure;  // thrown by the chunk callback
    bool streaming = false;
    bool cancelled = false;
    bool statusRejected = false;
    long long received = 0;
};

long long announcedLength(CURL* curl) {
    curl_off_t length = -1;
    libcurl().easyGetinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length > 0 ? static_cast<long long>(length) : 0;
}

long long responseStatus(CURL* curl) {
    long status = 0;
    libcurl().easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

size_t onBodyBytes(char* data, size_t, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->streaming) {
        t->body->append(data, count);
        t->received += static_cast<long long>(count);
        return count;
    }
    const long long status = responseStatus(t->curl);
    if (status < 200 || status > 299) {
        // A non-2xx body of a download is never read.
        t->statusRejected = true;
        return 0;
    }
    // An exception must not unwind through libcurl's frames: it ends the transfer and is thrown again
    // once the handles are closed.
    try {
        if (*t->onChunk && !(*t->onChunk)(data, count, announcedLength(t->curl))) {
            t->cancelled = true;
            return 0;
        }
    } catch (...) {
        t->failure = std::current_exception();
        t->cancelled = true;
        return 0;
    }
    t->received += static_cast<long long>(count);
    return count;
}

// Runs the transfer, ending it when no byte has moved for the receive time-out once the request is under way
// (the time-out of one wait for data, not of the whole transfer, so long downloads are not cut).
CURLcode runTransfer(Transfer& t) {
    CURLM* multi = libcurl().multiInit();
    if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
    libcurl().multiAddHandle(multi, t.curl);
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running > 0) {
        if (libcurl().multiPerform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) break;
        libcurl().multiPoll(multi, nullptr, 0, 25, nullptr);
        curl_off_t pretransfer = 0, down = 0, up = 0;
        libcurl().easyGetinfo(t.curl, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
        libcurl().easyGetinfo(t.curl, CURLINFO_SIZE_DOWNLOAD_T, &down);
        libcurl().easyGetinfo(t.curl, CURLINFO_SIZE_UPLOAD_T, &up);
        const auto now = Clock::now();
        if (t.limits != nullptr && t.limits->cancelled && t.limits->cancelled()) {
            t.cancelled = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // A server that trickles bytes never trips the receive time-out; the deadline still ends it.
        if (t.limits != nullptr && t.limits->deadlineMs > 0 &&
            now - t.started > std::chrono::milliseconds(t.limits->deadlineMs)) {
            t.timedOut = true;
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        if (pretransfer == 0 || down != t.lastDown || up != t.lastUp) {
            // Still connecting (the connect time-out applies), or data moved.
            t.lastDown = down;
            t.lastUp = up;
            t.lastActivity = now;
        } else if (now - t.lastActivity > std::chrono::milliseconds(t.receiveTimeoutMs)) {
            t.timedOut = true;
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
    }
    if (!t.timedOut && result == CURLE_OK) {
        int left = 0;
        while (CURLMsg* message = libcurl().multiInfoRead(multi, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == t.curl) result = message->data.result;
    }
    libcurl().multiRemoveHandle(multi, t.curl);
    libcurl().multiCleanup(multi);
    return result;
}

bool isLoopback(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        return IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr);
    }
    return false;
}

// With routing on, a socket to anything but the loopback is refused (redirects included).
curl_socket_t openGuardedSocket(void* user, curlsocktype, curl_sockaddr* address) {
    const auto* t = static_cast<const Transfer*>(user);
    if (t->loopbackOnly && !isLoopback(&address->addr)) return CURL_SOCKET_BAD;
    return socket(address->family, address->socktype, address->protocol);
}

struct Outcome {
    long long status = 0;
    std::string error;
};

// Maps libcurl's result to the status and the Polish error text of the step that failed.
Outcome finishTransfer(Transfer& t, CURLcode code, const std::string& originalUrl) {
    Outcome out;
    out.status = responseStatus(t.curl);
    const bool sent =
        code == CURLE_OK || out.status > 0 ||
        (code != CURLE_COULDNT_RESOLVE_HOST && code != CURLE_COULDNT_CONNECT && code != CURLE_COULDNT_RESOLVE_PROXY &&
         code != CURLE_SEND_ERROR && code != CURLE_SSL_CONNECT_ERROR && code != CURLE_PEER_FAILED_VERIFICATION &&
         !(code == CURLE_OPERATION_TIMEDOUT && !t.timedOut));
    trace(platform::cformat("[http] SendRequest=%d err=%lu\n", sent ? 1 : 0, static_cast<unsigned long>(code)));
    if (t.cancelled) {
        out.error = "Pobieranie anulowane.";
        return out;
    }
    if (t.statusRejected || code == CURLE_OK) {
        if (out.status > 0) trace("[http] odpowiedz OK, czytam body\n");
        return out;
    }
    const bool connectFailed =
        code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_CONNECT;
    if (out.status == 0 || connectFailed) {
        // A failed connection (also to a redirect's target) leaves no status of the final exchange.
        out.status = 0;
        switch (code) {
            case CURLE_URL_MALFORMAT:
            case CURLE_UNSUPPORTED_PROTOCOL: out.error = "Nieprawidlowy URL: " + originalUrl; break;
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
            case CURLE_COULDNT_CONNECT: out.error = "Brak polaczenia z " + hostOfUrl(originalUrl); break;
            default:
                if (sent) {
                    trace(platform::cformat("[http] ReceiveResponse FAIL err=%lu\n", static_cast<unsigned long>(code)));
                    out.error = "Brak odpowiedzi serwera";
                } else {
                    out.error = "Wyslanie zapytania nieudane (timeout?)";
                }
        }
        return out;
    }
    // The status arrived but the body broke off: never pass a cut body as a whole one.
    trace("[http] odpowiedz OK, czytam body\n");
    const long long length = announcedLength(t.curl);
    if (length > 0 && t.received < length) {
        out.error = "Pobieranie przerwane (" + formatByteSize(t.received) + " z " + formatByteSize(length) + ").";
    } else {
        out.error = "Brak odpowiedzi serwera";
    }
    return out;
}

// Common easy-handle set-up; returns the routed URL's validity.
bool prepare(Transfer& t, const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
             const std::string& userAgent, std::string& routed) {
    const RoutedUrl route = routeUrl(url);
    if (!route.valid) return false;
    routed = route.url;
    t.receiveTimeoutMs = receiveTimeoutMs;
    t.loopbackOnly = route.routed;
    CURL* c = t.curl;
    libcurl().easySetopt(c, CURLOPT_URL, routed.c_str());
    libcurl().easySetopt(c, CURLOPT_USERAGENT, userAgent.c_str());
    libcurl().easySetopt(c, CURLOPT_NOSIGNAL, 1L);
    libcurl().easySetopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs));
    libcurl().easySetopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    libcurl().easySetopt(c, CURLOPT_MAXREDIRS, 10L);
    libcurl().easySetopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    libcurl().easySetopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    libcurl().easySetopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    libcurl().easySetopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    libcurl().easySetopt(c, CURLOPT_WRITEFUNCTION, onBodyBytes);
    libcurl().easySetopt(c, CURLOPT_WRITEDATA, &t);
    libcurl().easySetopt(c, CURLOPT_OPENSOCKETFUNCTION, openGuardedSocket);
    libcurl().easySetopt(c, CURLOPT_OPENSOCKETDATA, &t);
    if (route.routed) {
        libcurl().easySetopt(c, CURLOPT_NOPROXY, "*");
        // A redirect to any other host goes to the local server too, so not even a name look-up leaves the
        // machine; the socket guard above stays as the last line.
        t.connectTo = libcurl().slistAppend(nullptr, ("::" + route.loopbackHost + ":").c_str());
        libcurl().easySetopt(c, CURLOPT_CONNECT_TO, t.connectTo);
    }
    return true;
}

// The header block as a list; libcurl's own defaults that the block does not ask for are removed.
curl_slist* headerList(const std::string& headerBlock) {
    curl_slist* list = nullptr;
    bool hasContentType = false;
    bool hasAccept = false;
    std::size_t pos = 0;
    while (pos < headerBlock.size()) {
        auto end = headerBlock.find("\r\n", pos);
        if (end == std::string::npos) end = headerBlock.size();
        const std::string line = headerBlock.substr(pos, end - pos);
        pos = end + 2;
        if (line.empty()) continue;
        std::string lower = line.substr(0, 13);
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (lower == "content-type:") hasContentType = true;
        if (lower.rfind("accept:", 0) == 0) hasAccept = true;
        list = libcurl().slistAppend(list, line.c_str());
    }
    if (!hasContentType) list = libcurl().slistAppend(list, "Content-Type:");
    // Services see the same request as from the Windows add-on, which names no accepted types.
    if (!hasAccept) list = libcurl().slistAppend(list, "Accept:");
    list = libcurl().slistAppend(list, "Expect:");
    return list;
}

// Checks the URL and sets up one transfer for it; on failure says why in `error` and leaves nothing open.
bool openTransfer(Transfer& t, const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
                  const std::string& userAgent, std::string& error) {
    if (!isWellFormedUrl(url)) {
        error = "Nieprawidlowy URL: " + url;
        return false;
    }
    t.curl = detail::curlLibrary() != nullptr ? libcurl().easyInit() : nullptr;
    trace("[http] session otwarta\n");
    if (t.curl == nullptr) {
        error = "WinHttpOpen nieudane";
        return false;
    }
    std::string routed;
    if (!prepare(t, url, connectTimeoutMs, receiveTimeoutMs, userAgent, routed)) {
        libcurl().easyCleanup(t.curl);
        t.curl = nullptr;
        error = "Nieprawidlowy URL: " + url;
        return false;
    }
    return true;
}

}  // namespace

HttpResult performRequest(const std::string& method, const std::string& url, const std::string& headerBlock,
                          const std::string& body, int connectTimeoutMs, int receiveTimeoutMs,
                          const std::string& userAgent, const TransferLimits& limits) {
    HttpResult result;
    Transfer t;
    t.limits = &limits;
    if (!openTransfer(t, url, connectTimeoutMs, receiveTimeoutMs, userAgent, result.error)) return result;
    t.body = &result.body;
    curl_slist* headers = headerList(headerBlock);
    libcurl().easySetopt(t.curl, CURLOPT_HTTPHEADER, headers);
    if (method == "GET") {
        libcurl().easySetopt(t.curl, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        libcurl().easySetopt(t.curl, CURLOPT_NOBODY, 1L);
    } else {
        if (method != "POST") libcurl().easySetopt(t.curl, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (method == "POST" || !body.empty()) {
            libcurl().easySetopt(t.curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
            libcurl().easySetopt(t.curl, CURLOPT_POSTFIELDS, body.c_str());
        }
    }
    const CURLcode code = runTransfer(t);
    const Outcome outcome = finishTransfer(t, code, url);
    result.status = outcome.status;
    result.error = outcome.error;
    result.ok = result.status >= 200 && result.status <= 299 && result.error.empty();
    char* contentType = nullptr;
    if (libcurl().easyGetinfo(t.curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType != nullptr)
        result.contentType = contentType;
    libcurl().slistFreeAll(headers);
    libcurl().easyCleanup(t.curl);
    libcurl().slistFreeAll(t.connectTo);
    return result;
}

HttpStreamResult performDownload(const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
                                 const std::string& userAgent, const ChunkCallback& onChunk,
                                 const TransferLimits& limits) {
    HttpStreamResult result;
    Transfer t;
    t.limits = &limits;
    if (!openTransfer(t, url, connectTimeoutMs, receiveTimeoutMs, userAgent, result.error)) return result;
    t.streaming = true;
    t.onChunk = &onChunk;
    curl_slist* headers = headerList({});
    libcurl().easySetopt(t.curl, CURLOPT_HTTPHEADER, headers);
    libcurl().easySetopt(t.curl, CURLOPT_HTTPGET, 1L);
    const CURLcode code = runTransfer(t);
    const Outcome outcome = finishTransfer(t, code, url);
    result.status = outcome.status;
    result.error = outcome.error;
    if (result.error.empty() && !t.statusRejected) {
        const long long length = announcedLength(t.curl);
        if (length >= 1 && t.received < length)
            result.error =
                "Pobieranie przerwane (" + formatByteSize(t.received) + " z " + formatByteSize(length) + ").";
    }
    result.ok = result.error.empty() && result.status >= 200 && result.status <= 299;
    libcurl().slistFreeAll(headers);
    libcurl().easyCleanup(t.curl);
    libcurl().slistFreeAll(t.connectTo);
    if (t.failure) std::rethrow_exception(t.failure);
    return result;
}

}  // namespace net
