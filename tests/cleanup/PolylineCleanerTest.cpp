// Duplicate removal against the in-process host: alerts, scope, grouping and one undoable deletion.
#include <gtest/gtest.h>

#include <algorithm>

#include "CleanupFixture.h"
#include "cleanup/PolylineCleaner.h"

using namespace cleanuptest;
using cleanup::CleanupEnd;

namespace {

bool exists(const model::ModelHost& h, const host::ElementId& id) {
    const auto& els = h.state().elements;
    return std::any_of(els.begin(), els.end(), [&](const model::StoredElement& e) { return e.header.id == id; });
}

}  // namespace

TEST(PolylineCleaner, WholeStoryKeepsFirstCopiesLeavesFillsAndPicturesInOneUndoableCommand) {
    model::ModelHost h;
    const DoubledDrawing d = doubledDrawing(h);
    const model::ModelState before = h.state();
    const auto outcome = cleanup::removeDuplicates(h);
    EXPECT_EQ(h.committedCommands(), std::vector<std::string>{"Usun duplikaty (polilinie + teksty)"});

    EXPECT_EQ(outcome.end, CleanupEnd::Done);
    EXPECT_FALSE(outcome.fromSelection);
    EXPECT_EQ(countOf(h, host::kElemFill), 2u);
    EXPECT_EQ(countOf(h, host::kElemPicture), 2u);
    for (const auto& id : d.firsts) EXPECT_TRUE(exists(h, id)) << id;
    for (const auto& id : d.seconds) EXPECT_FALSE(exists(h, id)) << id;

    // The confirmation's text exactly; the summary is checked on the program's terminal.
    const auto& alerts = h.alertsShown();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].smallText,
              "Usuwa zduplikowane POLILINIE i TEKSTY (ta sama geometria/tresc, pozycja i warstwa). Z kazdej grupy "
              "duplikatow zostaje jeden element, reszta jest kasowana.\n\nDziala na ZAZNACZENIU; gdy nic nie "
              "zaznaczono - na wszystkich poliliniach i tekstach aktywnego rzutu. Operacja cofalna (Undo).");
    EXPECT_EQ(alerts[1].buttons, std::vector<std::string>{"OK"});

    // A second run finds nothing; one undo brings everything back.
    const auto again = cleanup::removeDuplicates(h);
    EXPECT_EQ(again.polylinesDeleted + again.textsDeleted, 0u);
    ASSERT_EQ(h.undoLastCommand(), host::kHostOk);
    EXPECT_EQ(h.state(), before);
    EXPECT_NE(h.undoLastCommand(), host::kHostOk);  // nothing more to undo
}

TEST(PolylineCleaner, DeclinedOrFailedConfirmationChangesNothingAndShowsNothingElse) {
    model::ModelHost h;
    doubledDrawing(h);
    const model::ModelState before = h.state();
    h.queueAlertAnswers({2});
    EXPECT_EQ(cleanup::removeDuplicates(h).end, CleanupEnd::Cancelled);
    EXPECT_EQ(h.alertsShown().size(), 1u);

    // An alert the host could not show is no confirmation either.
    h.injectFault(model::HostOp::Alert, model::ModelHost::failAlways(host::kHostGeneralError));
    EXPECT_EQ(cleanup::removeDuplicates(h).end, CleanupEnd::Cancelled);
    EXPECT_EQ(h.state(), before);
}

TEST(PolylineCleaner, SelectionLimitsTheScope) {
    model::ModelHost h;
    const DoubledDrawing d = doubledDrawing(h);
    // One polyline selected: nothing to compare it with.
    ASSERT_EQ(h.setSelection({d.seconds[0]}), host::kHostOk);
    auto outcome = cleanup::removeDuplicates(h);
    EXPECT_TRUE(outcome.fromSelection);
    EXPECT_EQ(outcome.polylinesChecked, 1u);
    EXPECT_EQ(countOf(h, host::kElemPolyline), 6u);

    // Both copies of one text (selected twice, and a fill besides): only that pair is cleaned,
    // and the copy met first in the selection survives.
    std::vector<host::ElementId> fills;
    ASSERT_EQ(h.listElements(host::kElemFill, 0, fills), host::kHostOk);
    ASSERT_EQ(h.setSelection({d.seconds[3], fills[0], d.firsts[3]}), host::kHostOk);
    outcome = cleanup::removeDuplicates(h);
    EXPECT_EQ(outcome.polylinesDeleted, 0u);
    EXPECT_TRUE(exists(h, d.seconds[3]));
    EXPECT_FALSE(exists(h, d.firsts[3]));
    EXPECT_EQ(countOf(h, host::kElemText), 3u);

    // A selection of only fills has no polylines or texts to check.
    ASSERT_EQ(h.setSelection(fills), host::kHostOk);
    EXPECT_EQ(cleanup::removeDuplicates(h).end, CleanupEnd::NothingToCheck);
    EXPECT_EQ(h.alertsShown().back().largeText, "Brak polilinii i tekstow do sprawdzenia.");
}

TEST(PolylineCleaner, FailingSelectionQueryFallsBackToTheActiveStoryOnly) {
    model::ModelHost h;
    doubledDrawing(h);
    h.setActiveStory(1);
    const std::int32_t layer = addLayer(h, "GIS_BUDYNKI");
    addPolyline(h, layer, {{0, 0}, {1, 1}});
    addPolyline(h, layer, {{1, 1}, {0, 0}});
    h.injectFault(model::HostOp::GetSelection, model::ModelHost::failAlways(host::kHostGeneralError));
    const auto outcome = cleanup::removeDuplicates(h);
    EXPECT_FALSE(outcome.fromSelection);
    EXPECT_EQ(outcome.polylinesChecked, 2u);  // story 0 is not looked at
    EXPECT_EQ(countOf(h, host::kElemPolyline), 7u);
}

TEST(PolylineCleaner, LayersAndStoriesKeepEqualDrawingsApart) {
    model::ModelHost h;
    const std::int32_t a = addLayer(h, "A");
    const std::int32_t b = addLayer(h, "B");
    const host::ElementId onA = addPolyline(h, a, {{0, 0}, {5, 5}});
    const host::ElementId onB = addPolyline(h, b, {{0, 0}, {5, 5}});
    addText(h, a, {1, 1}, "x");
    addText(h, b, {1, 1}, "x");
    auto outcome = cleanup::removeDuplicates(h);
    EXPECT_EQ(outcome.polylinesDeleted + outcome.textsDeleted, 0u);

    // The same drawing on another floor, both selected: a floor is not a duplicate of another.
    h.setActiveStory(2);
    const host::ElementId upstairs = addPolyline(h, a, {{0, 0}, {5, 5}});
    ASSERT_EQ(h.setSelection({onA, upstairs, onB}), host::kHostOk);
    outcome = cleanup::removeDuplicates(h);
    EXPECT_EQ(outcome.polylinesChecked, 3u);
    EXPECT_EQ(outcome.polylinesDeleted, 0u);
}

TEST(PolylineCleaner, UnreadableElementsAreSkippedAndNeverDeleted) {
    model::ModelHost h;
    const std::int32_t layer = addLayer(h, "L");
    addPolyline(h, layer, {{0, 0}, {1, 0}});
    addPolyline(h, layer, {{0, 0}, {1, 0}});
    addPolyline(h, layer, {{0, 0}, {1, 0}});
    // Each polyline is read as header, then record: the second one's record cannot be read.
    int reads = 0;
    h.injectFault(model::HostOp::ReadElement,
                  [&](const model::HostCall&) { return ++reads == 4 ? host::kHostGeneralError : host::kHostOk; });
    const auto outcome = cleanup::removeDuplicates(h);
    EXPECT_EQ(outcome.polylinesChecked, 2u);
    EXPECT_EQ(countOf(h, host::kElemPolyline), 2u);
}

TEST(PolylineCleaner, MenuCommandWorksOnTheInstalledHost) {
    model::ModelHost h;
    doubledDrawing(h);
    host::installHost(&h);
    cleanup::RunRemoveDuplicatesCommand();
    host::installHost(nullptr);
    EXPECT_EQ(countOf(h, host::kElemPolyline), 3u);
    EXPECT_EQ(countOf(h, host::kElemText), 2u);
}
