// The system's own data files: file lengths and (later) the palette images
// and scrambled descriptor files read through the descrambler.
#pragma once

#include <cstdint>

// Opens path for binary reading and stores its length in bytes; 0, or -1
// with length 0 when it cannot be opened (a folder cannot).
int GetFileLength(const char* path, uint32_t* length);
