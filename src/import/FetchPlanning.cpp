#include "import/FetchGroups.h"

// Planning acts are not fetched yet.
void fetchPlanningGroup(FetchContext&) {}
