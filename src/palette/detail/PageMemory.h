// What a palette's page shows of the add-on's work, kept so that a reloaded page gets it back: the last result
// (a fetch, its placement, a download) and the progress of work that still runs.
#pragma once
#include <string>
#include <vector>

namespace palette::detail {

class PageMemory {
public:
    // A message the page asked the add-on for (its "type").
    void fromPage(const std::string& type);
    // A message the add-on sent to the page, as serialised.
    void toPage(const std::string& text);
    // What a page that has just started (its "ping") is sent again, in the order it first came.
    std::vector<std::string> replay() const;

private:
    std::vector<std::string> results_;  // "fetchDone" then its "placeDone", or "downloadDone"
    std::string progress_;              // the last "progress" while work runs
};

}  // namespace palette::detail
