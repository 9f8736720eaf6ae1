// The system's own data files: file lengths and (later) the palette images
// and scrambled descriptor files read through the descrambler.
#include "maps/system_files.h"

#include "platform/files.h"

#include <cstdio>
#include <sys/stat.h>

int GetFileLength(const char* path, uint32_t* length)
{
    uint32_t dummy;
    if (!length)
        length = &dummy;
    *length = 0;
    if (!path)
        return -1;
    FILE* file = OpenFile(path, "rb");
    if (!file)
        return -1;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    fclose(file);
    if (!ok)
        return -1;
    // Larger files than the 32-bit length can tell are reported at its limit.
    *length = st.st_size > static_cast<off_t>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(st.st_size);
    return 0;
}
