#include "net/Capabilities.h"

#include "net/AnswerCheck.h"
#include "net/WfsClient.h"
#include "platform/Numbers.h"

namespace net {

namespace {

// The DefaultValue (or Value) of every ows:Constraint named `name`, in document order, trimmed.
template <typename F>
void forEachConstraintValue(std::string_view caps, std::string_view name, F&& f) {
    const std::string key = "name=\"" + std::string(name) + "\"";
    for (std::size_t at = caps.find(key); at != std::string_view::npos; at = caps.find(key, at + key.size())) {
        const std::size_t end = caps.find("Constraint>", at);
        const std::string_view body =
            caps.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        for (std::string_view tag : {"DefaultValue>", "Value>"}) {
            const std::size_t open = body.find(tag);
            if (open == std::string_view::npos) continue;
            const std::size_t start = open + tag.size();
            const std::size_t close = body.find('<', start);
            std::string_view value = body.substr(start, close == std::string_view::npos ? 0 : close - start);
            while (!value.empty() &&
                   (value.front() == ' ' || value.front() == '\n' || value.front() == '\r' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() &&
                   (value.back() == ' ' || value.back() == '\n' || value.back() == '\r' || value.back() == '\t'))
                value.remove_suffix(1);
            f(value);
            break;
        }
    }
}

}  // namespace

HttpResponse getCapabilities(WfsClient& client, const std::string& baseUrl, const std::string& service) {
    const char* separator = baseUrl.find('?') != std::string::npos ? "&" : "?";
    HttpResponse response = client.get(baseUrl + separator + "service=" + service + "&request=GetCapabilities");
    // A document cut off (a stalled or broken transfer) or no XML at all names only some layers, or none: it
    // counts as no answer, never as a service without the layers it did not show.
    if (!response.error.empty() || !isAnswerOfKind(response.body, AnswerKind::xml)) response.status = 0;
    return response;
}

ResultPaging readResultPaging(std::string_view capabilities) {
    ResultPaging paging;
    forEachConstraintValue(capabilities, "ImplementsResultPaging", [&](std::string_view value) {
        if (value == "TRUE" || value == "true" || value == "True") paging.implemented = true;
    });
    // GetFeature states it on its own operation, others for the whole service: the smallest one binds.
    forEachConstraintValue(capabilities, "CountDefault", [&](std::string_view value) {
        long long count = 0;
        if (platform::parseInt(value, count) && count > 0 && (paging.countDefault == 0 || count < paging.countDefault))
            paging.countDefault = count;
    });
    return paging;
}

}  // namespace net
