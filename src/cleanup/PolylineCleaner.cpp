#include "cleanup/PolylineCleaner.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "cleanup/DuplicateMatch.h"
#include "platform/Numbers.h"

namespace cleanup {
namespace {

std::int32_t showAlert(host::Host& h, std::int32_t type, const std::string& large, const std::string& small,
                       std::vector<std::string> buttons) {
    host::AlertRequest request;
    request.type = type;
    request.largeText = large;
    request.smallText = small;
    request.buttons = std::move(buttons);
    std::int32_t button = 0;
    if (h.alert(request, button) != host::kHostOk) return 0;
    return button;
}

void showInformation(host::Host& h, const std::string& large) {
    showAlert(h, host::kAlertInformation, large, "", {kOkButton});
}

struct Scope {
    bool fromSelection = false;
    std::vector<host::ElementId> polylines;
    std::vector<host::ElementId> texts;
};

std::vector<host::ElementId> selectedOfType(host::Host& h, const std::vector<host::ElementId>& selection,
                                            std::int32_t type) {
    std::vector<host::ElementId> out;
    std::unordered_set<host::ElementId> seen;  // keeps the first occurrence, as a linear search would
    for (const auto& id : selection) {
        host::ElementHeader header;
        if (h.getElementHeader(id, header) != host::kHostOk || header.type != type) continue;
        if (seen.insert(id).second) out.push_back(id);
    }
    return out;
}

std::vector<host::ElementId> storyOfType(host::Host& h, std::int32_t type) {
    std::vector<host::ElementId> out;
    if (h.listElements(type, host::kFilterActiveStory, out) != host::kHostOk) out.clear();
    return out;
}

Scope collectScope(host::Host& h) {
    Scope scope;
    host::Selection selection;
    if (h.getSelection(selection) == host::kHostOk && selection.kind != host::kSelectionNone &&
        !selection.ids.empty()) {
        scope.fromSelection = true;
        scope.polylines = selectedOfType(h, selection.ids, host::kElemPolyline);
        scope.texts = selectedOfType(h, selection.ids, host::kElemText);
    } else {
        scope.polylines = storyOfType(h, host::kElemPolyline);
        scope.texts = storyOfType(h, host::kElemText);
    }
    return scope;
}

std::vector<PolylineRecord> readPolylines(host::Host& h, const std::vector<host::ElementId>& ids) {
    std::vector<PolylineRecord> records;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        host::ElementHeader header;
        if (h.getElementHeader(ids[i], header) != host::kHostOk || header.type != host::kElemPolyline) continue;
        host::PolylineElement element;
        if (h.getPolyline(ids[i], element) != host::kHostOk || element.points.size() < 2) continue;
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

std::vector<TextRecord> readTexts(host::Host& h, const std::vector<host::ElementId>& ids) {
    std::vector<TextRecord> records;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        host::ElementHeader header;
        if (h.getElementHeader(ids[i], header) != host::kHostOk || header.type != host::kElemText) continue;
        host::TextElement element;
        if (h.getText(ids[i], element) != host::kHostOk) continue;
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

}  // namespace

CleanupOutcome removeDuplicates(host::Host& h) {
    CleanupOutcome outcome;
    if (showAlert(h, host::kAlertWarning, kConfirmTitle, kConfirmText, {kRunButton, kCancelButton}) != 1)
        return outcome;

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
    // The story keeps equal drawings on different floors apart when a selection spans stories.
    const auto polylineDoomed = laterDuplicatePolylines(polylines);
    const auto textDoomed = laterDuplicateTexts(texts);

    std::vector<host::ElementId> doomedIds;
    doomedIds.reserve(polylineDoomed.size() + textDoomed.size());
    for (std::size_t i : polylineDoomed) doomedIds.push_back(scope.polylines[i]);
    for (std::size_t i : textDoomed) doomedIds.push_back(scope.texts[i]);

    if (!doomedIds.empty()) {
        const host::HostError error = h.undoableCommand(kCommandName, [&] { return h.deleteElements(doomedIds); });
        if (error != host::kHostOk) {
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
        showInformation(h, platform::cformat("Usunieto duplikaty:\n- polilinie: %zu\n- teksty: %zu",
                                             outcome.polylinesDeleted, outcome.textsDeleted));
    }
    return outcome;
}

void RunRemoveDuplicatesCommand() { removeDuplicates(host::host()); }

}  // namespace cleanup
