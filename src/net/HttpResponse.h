// Answer of one WfsClient request.
#pragma once
#include <string>

namespace net {

struct HttpResponse {
    int status = 0;           // HTTP status, 0 when none arrived
    std::string body;         // the whole body, also for non-2xx answers
    std::string error;        // empty when the exchange itself worked
    std::string contentType;  // the answer's Content-Type header, "" when none
};

}  // namespace net
