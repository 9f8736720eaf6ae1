// Zip entries into memory, and the shared entry buffer with its line reader.
#include "navdata/zip_entry.h"

#include "navdata/zip_writer.h"
#include "platform/files.h"

#include <minizip/unzip.h>

#include <cstring>
#include <sys/stat.h>

// Case-insensitive entry names (minizip's own comparison).
static constexpr int IgnoreCase = 2;

// Unpacks the current entry of an open archive into out.
static bool ReadCurrentEntry(unzFile zip, std::vector<char>* out, size_t* size)
{
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (info.uncompressed_size > ZipEntryLimit)
        return false;
    size_t expected = static_cast<size_t>(info.uncompressed_size);
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    out->assign(expected + 1, '\0');
    size_t got = 0;
    bool ok = true;
    while (got < expected) {
        int n = unzReadCurrentFile(zip, out->data() + got, static_cast<unsigned>(expected - got));
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    // Closing checks the CRC once the whole entry was read.
    int closed = unzCloseCurrentFile(zip);
    if (!ok || (got == expected && closed == UNZ_CRCERROR)) {
        out->clear();
        return false;
    }
    out->resize(got + 1);
    (*out)[got] = '\0';
    *size = got;
    return true;
}

bool ReadZipEntry(const char* path, const char* name, std::vector<char>* out, size_t* size)
{
    out->clear();
    *size = 0;
    if (!IsContainedEntryName(name))
        return false;
    char resolved[512];
    ResolvePath(path, resolved, sizeof(resolved));
    // Only a plain file: opening a FIFO or a device of that name would wait
    // for a writer, and hold the start with it.
    struct stat st;
    if (stat(resolved, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    unzFile zip = unzOpen64(resolved);
    if (zip == nullptr)
        return false;
    bool ok = unzLocateFile(zip, name, IgnoreCase) == UNZ_OK && ReadCurrentEntry(zip, out, size);
    unzClose(zip);
    return ok;
}

bool ReadEntryLine(ZipEntryCursor* cursor, char* destination, size_t max)
{
    if (cursor->data == nullptr || cursor->position >= cursor->size)
        return false;
    const char* start = cursor->data + cursor->position;
    size_t left = cursor->size - cursor->position;
    const char* feed = static_cast<const char*>(std::memchr(start, '\n', left));
    if (feed == nullptr)
        return false;
    size_t length = static_cast<size_t>(feed - start);
    cursor->position += length + 1;
    if (length >= max) {
        std::memcpy(destination, start, max);
        destination[max] = '\0';
        return true;
    }
    if (length > 0 && start[length - 1] == '\r')
        --length;
    std::memcpy(destination, start, length);
    destination[length] = '\0';
    return true;
}

// The shared entry: GUI thread only.
static std::vector<char> entryBytes;
static ZipEntryCursor entryCursor;

bool LoadZipEntry(const char* path, const char* name)
{
    FreeZipEntry();
    size_t size = 0;
    bool ok = ReadZipEntry(path, name, &entryBytes, &size);
    if (ok) {
        entryCursor.data = entryBytes.data();
        entryCursor.size = size;
    }
    return ok;
}

bool ReadZipEntryLine(char* destination, size_t max)
{
    return ReadEntryLine(&entryCursor, destination, max);
}

void GetZipEntryBuffer(const char** data, size_t* size)
{
    *data = entryCursor.data;
    *size = entryCursor.size;
}

void FreeZipEntry()
{
    std::vector<char>().swap(entryBytes);
    entryCursor = ZipEntryCursor{};
}
