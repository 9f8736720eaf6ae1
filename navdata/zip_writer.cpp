// Zip archives through minizip's writer.
#include "navdata/zip_writer.h"

#include "platform/files.h"

#include <minizip/zip.h>

#include <cstring>

bool IsContainedEntryName(const char* name)
{
    if (name == nullptr || name[0] == '\0' || name[0] == '/' || name[0] == '\\')
        return false;
    const char* part = name;
    while (true) {
        size_t length = std::strcspn(part, "/\\");
        if (length == 2 && part[0] == '.' && part[1] == '.')
            return false;
        if (part[length] == '\0')
            return true;
        part += length + 1;
    }
}

static bool AddEntry(zipFile zip, const ZipWriterEntry& entry)
{
    if (entry.data.size() > 0xFFFFFFFFu)
        return false;  // one write call carries the whole entry
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK)
        return false;
    bool ok = zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

bool WriteZipArchive(const char* path, const std::vector<ZipWriterEntry>& entries)
{
    for (const ZipWriterEntry& entry : entries)
        if (!IsContainedEntryName(entry.name.c_str()))
            return false;
    char resolved[512];
    ResolvePath(path, resolved, sizeof(resolved));
    zipFile zip = zipOpen64(resolved, APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool ok = true;
    for (const ZipWriterEntry& entry : entries)
        ok = ok && AddEntry(zip, entry);
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
