#include <cstdio>

#include "Commands.h"

int cmdSession(int, char**) {
    std::fprintf(stderr, "session: not yet available\n");
    return 1;
}
