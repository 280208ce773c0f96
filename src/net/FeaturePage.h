// What one GetFeature answer says about itself: how many features the request matched, how many came, and
// where the next page is. Servers cut an answer at their page size; these tell whether more remains.
#pragma once
#include <string>
#include <string_view>

namespace net {

struct FeaturePage {
    long long matched = -1;   // numberMatched; -1 when "unknown" or absent
    long long returned = -1;  // numberReturned (WFS 2.0) or numberOfFeatures (1.1.0); -1 when absent
    long long members = 0;    // member elements counted in the text
    std::string next;         // the next page's URL (entities decoded), "" when none

    // The features the page holds: its own count, else the members found.
    long long count() const { return returned >= 0 ? returned : members; }
};

// Reads the root element's attributes and counts the members of a feature collection.
FeaturePage readFeaturePage(std::string_view answer);
// The value of a query parameter of a URL (name compared without case), or nothing when absent.
bool urlParameter(std::string_view url, std::string_view name, std::string& value);

}  // namespace net
