#include "net/ServiceRegistryLayers.h"

#include <algorithm>
#include <initializer_list>

namespace net {

namespace {

bool containsAny(const std::string& text, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (text.find(w) != std::string::npos) return true;
    return false;
}

void addUnique(std::vector<std::string>& out, const std::string& name) {
    if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
}

}  // namespace

std::string lowerName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c >= 'A' && c <= 'Z') {
            out.push_back(static_cast<char>(c - 'A' + 'a'));
        } else if (c == '\xC5' && i + 1 < name.size() && name[i + 1] == '\x81') {
            out += "\xC5\x82";
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::string> extractCapabilityNames(std::string_view caps) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = caps.find("<Name", at)) != std::string_view::npos) {
        const std::size_t afterTag = at + 5;
        at = afterTag;
        // Only the element called exactly "Name" (not "NameSpace" and the like).
        if (afterTag < caps.size() && !(caps[afterTag] == '>' || caps[afterTag] == ' ' || caps[afterTag] == '/' ||
                                        caps[afterTag] == '\t' || caps[afterTag] == '\r' || caps[afterTag] == '\n'))
            continue;
        const std::size_t close = caps.find('>', afterTag);
        if (close == std::string_view::npos) break;
        if (caps[close - 1] == '/') continue;
        const std::size_t end = caps.find("</Name", close + 1);
        if (end == std::string_view::npos) break;
        const std::string_view text = caps.substr(close + 1, end - close - 1);
        if (!text.empty() && text.find('\n') == std::string_view::npos) names.emplace_back(text);
        at = end;
    }
    return names;
}

std::vector<std::string> filterLayerNames(std::string_view caps) {
    std::vector<std::string> out;
    for (const std::string& n : extractCapabilityNames(caps)) {
        if (n == "WMS" || n == "WFS" || n == "default" || n.find(' ') != std::string::npos) continue;
        addUnique(out, n);
    }
    return out;
}

std::vector<std::string> selectThematicLayers(std::string_view caps, formats::DataType type) {
    if (type != formats::DataType::gesut && type != formats::DataType::bdot500) return filterLayerNames(caps);
    std::vector<std::string> out;
    for (const std::string& n : filterLayerNames(caps)) {
        const std::string lower = lowerName(n);
        if (lower.find("strefa") != std::string::npos) continue;
        const bool wanted = type == formats::DataType::gesut
                                ? containsAny(lower, {"gesut", "siec", "przewod", "uzbroj", "urzadzen"})
                                : containsAny(lower, {"bdot", "_ot", "budowl", "ogrodz", "komunikac", "zagospodar",
                                                      "sport", "wody", "rzezb", "sytuac", "nmz"});
        if (wanted) out.push_back(n);
    }
    return out;
}

std::vector<std::string> selectPipeLayers(std::string_view caps) {
    std::vector<std::string> out;
    for (const std::string& n : extractCapabilityNames(caps))
        if (lowerName(n).find("przewod") != std::string::npos) addUnique(out, n);
    return out;
}

}  // namespace net
