// The capabilities document of an OGC service.
#pragma once
#include <string>
#include <string_view>

#include "net/HttpResponse.h"

namespace net {

class WfsClient;

// Capabilities of a WMS or WFS (service "WMS" or "WFS") through the web client; status 0 when the document did
// not come whole (a broken transfer, an error page, a service exception).
HttpResponse getCapabilities(WfsClient& client, const std::string& baseUrl, const std::string& service);

// What a WFS states about paging: whether it takes STARTINDEX (ImplementsResultPaging) and the most features
// it returns for one request (CountDefault, wherever it is stated; 0 when it states none).
struct ResultPaging {
    bool implemented = false;
    long long countDefault = 0;
};
ResultPaging readResultPaging(std::string_view capabilities);

}  // namespace net
