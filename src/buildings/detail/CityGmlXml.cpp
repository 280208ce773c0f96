#include "buildings/detail/CityGmlXml.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace buildings::detail {

std::string_view localName(const char* qualified) {
    const char* colon = std::strrchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}

bool isNamed(const pugi::xml_node& node, std::string_view local) {
    return node.type() == pugi::node_element && localName(node.name()) == local;
}

pugi::xml_node firstChildNamed(const pugi::xml_node& parent, std::string_view local) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (isNamed(child, local)) return child;
    return {};
}

pugi::xml_node firstDescendantNamed(const pugi::xml_node& node, std::string_view local) {
    if (isNamed(node, local)) return node;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element)
            if (pugi::xml_node found = firstDescendantNamed(child, local)) return found;
    return {};
}

void appendNumbers(std::string_view text, std::vector<double>& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
        if (p == end) break;
        if (*p == '+') ++p;  // from_chars takes no plus sign
        double value = 0.0;
        const auto [next, ec] = std::from_chars(p, end, value);
        // "nan" and "inf" are no coordinates: the list ends there as at any other word.
        if (ec != std::errc() || !std::isfinite(value) || (next < end && !std::strchr(" \t\r\n", *next))) return;
        out.push_back(value);
        p = next;
    }
}

namespace {

void readRing(const pugi::xml_node& ring, std::vector<GmlRing>& out) {
    std::vector<double> numbers;
    for (pugi::xml_node child = ring.first_child(); child; child = child.next_sibling()) {
        if (isNamed(child, "pos")) {
            std::vector<double> one;
            appendNumbers(child.child_value(), one);
            if (one.size() >= 3) numbers.insert(numbers.end(), one.begin(), one.begin() + 3);
        } else if (isNamed(child, "posList")) {
            std::vector<double> list;
            appendNumbers(child.child_value(), list);
            list.resize(list.size() / 3 * 3);
            numbers.insert(numbers.end(), list.begin(), list.end());
        }
    }
    if (numbers.size() < 9) return;
    GmlRing r;
    r.points.reserve(numbers.size() / 3);
    r.z.reserve(numbers.size() / 3);
    for (std::size_t i = 0; i + 2 < numbers.size(); i += 3) {
        r.points.push_back({numbers[i], numbers[i + 1]});
        r.z.push_back(numbers[i + 2]);
    }
    out.push_back(std::move(r));
}

void findRings(const pugi::xml_node& node, std::vector<GmlRing>& out) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (isNamed(child, "LinearRing")) readRing(child, out);
        else findRings(child, out);
    }
}

}  // namespace

std::vector<GmlRing> collectRings(const pugi::xml_node& element) {
    std::vector<GmlRing> rings;
    findRings(element, rings);
    return rings;
}

bool parseSheetXml(std::string_view text, pugi::xml_document& doc) {
    if (text.empty()) return false;
    return static_cast<bool>(doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto));
}

}  // namespace buildings::detail
