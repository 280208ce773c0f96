#include "import/FetchGroups.h"

void fetchOrthoGroup(FetchContext&) {}
