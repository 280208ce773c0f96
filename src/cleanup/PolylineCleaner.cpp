#include "cleanup/PolylineCleaner.h"

#include <map>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "cleanup/DuplicateKeys.h"
#include "platform/Numbers.h"

using platform::cformat;

namespace PolylineCleaner {
namespace {

std::int32_t showAlert(Host& h, std::int32_t type, const std::string& large, const std::string& small,
                       std::vector<std::string> buttons) {
    AlertRequest request;
    request.type = type;
    request.largeText = large;
    request.smallText = small;
    request.buttons = std::move(buttons);
    std::int32_t button = 0;
    if (h.alert(request, button) != kHostOk) return 0;
    return button;
}

void showInformation(Host& h, const std::string& large) { showAlert(h, kAlertInformation, large, "", {kOkButton}); }

struct Scope {
    bool fromSelection = false;
    std::vector<ElementId> polylines;
    std::vector<ElementId> texts;
};

std::vector<ElementId> selectedOfType(Host& h, const std::vector<ElementId>& selection, std::int32_t type) {
    std::vector<ElementId> out;
    std::unordered_set<ElementId> seen;  // keeps the first occurrence, as a linear search would
    for (const auto& id : selection) {
        ElementHeader header;
        if (h.getElementHeader(id, header) != kHostOk || header.type != type) continue;
        if (seen.insert(id).second) out.push_back(id);
    }
    return out;
}

std::vector<ElementId> storyOfType(Host& h, std::int32_t type) {
    std::vector<ElementId> out;
    if (h.listElements(type, kFilterActiveStory, out) != kHostOk) out.clear();
    return out;
}

Scope collectScope(Host& h) {
    Scope scope;
    Selection selection;
    if (h.getSelection(selection) == kHostOk && selection.kind != kSelectionNone && !selection.ids.empty()) {
        scope.fromSelection = true;
        scope.polylines = selectedOfType(h, selection.ids, kElemPolyline);
        scope.texts = selectedOfType(h, selection.ids, kElemText);
    } else {
        scope.polylines = storyOfType(h, kElemPolyline);
        scope.texts = storyOfType(h, kElemText);
    }
    return scope;
}

std::vector<PolylineRecord> readPolylines(Host& h, const std::vector<ElementId>& ids) {
    std::vector<PolylineRecord> records;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ElementHeader header;
        if (h.getElementHeader(ids[i], header) != kHostOk || header.type != kElemPolyline) continue;
        PolylineElement element;
        if (h.getPolyline(ids[i], element) != kHostOk || element.points.size() < 2) continue;
        PolylineRecord r;
        r.index = i;
        r.layer = header.layer;
        r.story = header.story;
        r.closed = isClosedPolyline(element.points);
        r.points = std::move(element.points);
        r.arcs = std::move(element.arcs);
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<TextRecord> readTexts(Host& h, const std::vector<ElementId>& ids) {
    std::vector<TextRecord> records;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ElementHeader header;
        if (h.getElementHeader(ids[i], header) != kHostOk || header.type != kElemText) continue;
        TextElement element;
        if (h.getText(ids[i], element) != kHostOk) continue;
        TextRecord r;
        r.index = i;
        r.layer = header.layer;
        r.story = header.story;
        r.position = element.position;
        r.content = std::move(element.content);
        records.push_back(std::move(r));
    }
    return records;
}

// Positions of the records to delete: every record whose (story, layer, key) was met before.
// The story keeps equal drawings on different floors apart when a selection spans stories.
template <class Record, class KeyOf>
std::vector<std::size_t> laterDuplicates(const std::vector<Record>& records, KeyOf keyOf) {
    std::map<std::tuple<std::int32_t, std::int32_t, std::string>, bool> seen;
    std::vector<std::size_t> doomed;
    for (const auto& r : records) {
        auto [it, inserted] = seen.try_emplace({r.story, r.layer, keyOf(r)}, true);
        (void)it;
        if (!inserted) doomed.push_back(r.index);
    }
    return doomed;
}

}  // namespace

CleanupOutcome removeDuplicates(Host& h) {
    CleanupOutcome outcome;
    if (showAlert(h, kAlertWarning, kConfirmTitle, kConfirmText, {kRunButton, kCancelButton}) != 1) return outcome;

    const Scope scope = collectScope(h);
    outcome.fromSelection = scope.fromSelection;
    if (scope.polylines.empty() && scope.texts.empty()) {
        outcome.end = CleanupEnd::NothingToCheck;
        showInformation(h, kNothingToCheck);
        return outcome;
    }

    const auto polylines = readPolylines(h, scope.polylines);
    const auto texts = readTexts(h, scope.texts);
    outcome.polylinesChecked = polylines.size();
    outcome.textsChecked = texts.size();
    const auto polylineDoomed = laterDuplicates(polylines, [](const PolylineRecord& r) { return polylineKey(r); });
    const auto textDoomed = laterDuplicates(texts, [](const TextRecord& r) { return textKey(r); });

    std::vector<ElementId> doomedIds;
    doomedIds.reserve(polylineDoomed.size() + textDoomed.size());
    for (std::size_t i : polylineDoomed) doomedIds.push_back(scope.polylines[i]);
    for (std::size_t i : textDoomed) doomedIds.push_back(scope.texts[i]);

    if (!doomedIds.empty()) {
        const HostError error = h.undoableCommand(kCommandName, [&] { return h.deleteElements(doomedIds); });
        if (error != kHostOk) {
            outcome.end = CleanupEnd::DeleteFailed;
            outcome.error = error;
            showInformation(h, kDeleteFailed);
            return outcome;
        }
    }
    outcome.end = CleanupEnd::Done;
    outcome.polylinesDeleted = polylineDoomed.size();
    outcome.textsDeleted = textDoomed.size();
    if (doomedIds.empty()) {
        showInformation(h, kNoDuplicates);
    } else {
        showInformation(h, cformat("Usunieto duplikaty:\n- polilinie: %zu\n- teksty: %zu", outcome.polylinesDeleted,
                                   outcome.textsDeleted));
    }
    return outcome;
}

void RunRemoveDuplicatesCommand() { removeDuplicates(host()); }

}  // namespace PolylineCleaner
