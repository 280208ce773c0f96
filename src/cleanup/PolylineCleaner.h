// The menu command that deletes duplicated polylines and texts in one undoable step.
#pragma once
#include <cstddef>

#include "host/Host.h"

namespace cleanup {

// Texts the command shows.
inline constexpr const char* kConfirmTitle = "Czyszczenie duplikatow";
inline constexpr const char* kConfirmText =
    "Usuwa zduplikowane POLILINIE i TEKSTY (ta sama geometria/tresc, pozycja i warstwa). Z kazdej grupy "
    "duplikatow zostaje jeden element, reszta jest kasowana.\n\nDziala na ZAZNACZENIU; gdy nic nie zaznaczono - "
    "na wszystkich poliliniach i tekstach aktywnego rzutu. Operacja cofalna (Undo).";
inline constexpr const char* kRunButton = "Uruchom";
inline constexpr const char* kCancelButton = "Anuluj";
inline constexpr const char* kOkButton = "OK";
inline constexpr const char* kNothingToCheck = "Brak polilinii i tekstow do sprawdzenia.";
inline constexpr const char* kNoDuplicates = "Nie znaleziono zduplikowanych polilinii ani tekstow.";
inline constexpr const char* kDeleteFailed =
    "Nie udalo sie usunac duplikatow - sprawdz, czy elementy nie leza na zablokowanej warstwie lub nie sa "
    "zablokowane/zgrupowane.";
inline constexpr const char* kCommandName = "Usun duplikaty (polilinie + teksty)";

// How one run ended.
enum class CleanupEnd {
    Cancelled,       // the confirmation was not given
    NothingToCheck,  // no polylines or texts in scope
    Done,            // summary shown (possibly nothing deleted)
    DeleteFailed,    // the host refused the deletion; nothing changed
};

struct CleanupOutcome {
    CleanupEnd end = CleanupEnd::Cancelled;
    bool fromSelection = false;        // the selection was the scope (else the active story)
    std::size_t polylinesChecked = 0;  // records read
    std::size_t textsChecked = 0;
    std::size_t polylinesDeleted = 0;
    std::size_t textsDeleted = 0;
    host::HostError error = host::kHostOk;  // the host's answer when the deletion failed
};

// The whole command against the given host: confirmation, scope, grouping, deletion, summary.
CleanupOutcome removeDuplicates(host::Host& h);

// The menu command, against the installed host.
void RunRemoveDuplicatesCommand();

}  // namespace cleanup
