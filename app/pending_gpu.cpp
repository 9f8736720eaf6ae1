// Stand-ins for the program root services the renderer calls, until they land.
#include "platform/win32.h"

void WriteIniString(const char*, const char*, const char*, const char*) {}  // until the real one lands
