#include "import/FetchGroups.h"

void fetchBaseMapGroup(FetchContext&) {}
