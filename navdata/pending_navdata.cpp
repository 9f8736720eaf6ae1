// Stand-ins for calls into modules that have not landed yet.
#include "navdata/foreign_calls.h"

#include <cstdio>

void ShowFileNotFound(const char* path) { std::fprintf(stderr, "File: %s not found!\n", path); }  // until the real one lands
