#include "import/FetchGroups.h"

void fetchUtilitiesGroup(FetchContext&) {}
