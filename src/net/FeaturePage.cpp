#include "net/FeaturePage.h"

#include <cstring>

#include "net/detail/XmlEntities.h"
#include "platform/Numbers.h"

namespace net {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// The root element's start tag: declarations, comments and a DOCTYPE skipped.
std::string_view rootStartTag(std::string_view text) {
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && isBlank(text[at])) ++at;
        if (text.compare(at, 4, "<!--") == 0) {
            at = text.find("-->", at);
            if (at == std::string_view::npos) return {};
            at += 3;
        } else if (text.compare(at, 2, "<?") == 0 || text.compare(at, 2, "<!") == 0) {
            at = text.find('>', at);
            if (at == std::string_view::npos) return {};
            ++at;
        } else {
            break;
        }
    }
    if (at >= text.size() || text[at] != '<') return {};
    // Quoted values may hold '>' (a next link's query).
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"' || text[i] == '\'') {
            const std::size_t close = text.find(text[i], i + 1);
            if (close == std::string_view::npos) return {};
            i = close;
        } else if (text[i] == '>') {
            return text.substr(at, i + 1 - at);
        }
    }
    return {};
}

// The value of an attribute of a start tag by its local name, or nothing.
bool attributeOf(std::string_view tag, std::string_view local, std::string_view& value) {
    std::size_t at = tag.find_first_of(" \t\r\n");
    while (at != std::string_view::npos && at < tag.size()) {
        while (at < tag.size() && isBlank(tag[at])) ++at;
        const std::size_t eq = tag.find('=', at);
        if (eq == std::string_view::npos) return false;
        std::string_view name = tag.substr(at, eq - at);
        while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
        std::size_t quote = eq + 1;
        while (quote < tag.size() && isBlank(tag[quote])) ++quote;
        if (quote >= tag.size() || (tag[quote] != '"' && tag[quote] != '\'')) return false;
        const std::size_t close = tag.find(tag[quote], quote + 1);
        if (close == std::string_view::npos) return false;
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
        if (name == local) {
            value = tag.substr(quote + 1, close - quote - 1);
            return true;
        }
        at = close + 1;
    }
    return false;
}

long long countOf(std::string_view tag, std::string_view local) {
    std::string_view text;
    long long value = -1;
    if (!attributeOf(tag, local, text) || !platform::parseInt(text, value) || value < 0) return -1;
    return value;
}

long long occurrences(std::string_view text, std::string_view what) {
    long long n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size())) {
        const std::size_t after = at + what.size();
        // "<wfs:member" must not count "<wfs:members".
        if (after < text.size() && (isBlank(text[after]) || text[after] == '>')) ++n;
    }
    return n;
}

}  // namespace

FeaturePage readFeaturePage(std::string_view answer) {
    FeaturePage page;
    const std::string_view tag = rootStartTag(answer);
    page.matched = countOf(tag, "numberMatched");
    page.returned = countOf(tag, "numberReturned");
    if (page.returned < 0) page.returned = countOf(tag, "numberOfFeatures");
    std::string_view next;
    if (attributeOf(tag, "next", next)) page.next = detail::decodeXmlEntities(next);
    page.members = occurrences(answer, "<wfs:member") + occurrences(answer, "<gml:featureMember");
    return page;
}

bool urlParameter(std::string_view url, std::string_view name, std::string& value) {
    const std::size_t query = url.find('?');
    if (query == std::string_view::npos) return false;
    std::size_t at = query + 1;
    while (at < url.size()) {
        std::size_t end = url.find('&', at);
        if (end == std::string_view::npos) end = url.size();
        const std::string_view pair = url.substr(at, end - at);
        const std::size_t eq = pair.find('=');
        if (equalsNoCase(pair.substr(0, eq), name)) {
            value = eq == std::string_view::npos ? std::string() : std::string(pair.substr(eq + 1));
            return true;
        }
        at = end + 1;
    }
    return false;
}

}  // namespace net
