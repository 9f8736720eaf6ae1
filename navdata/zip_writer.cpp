// Zip archives through minizip's writer.
#include "navdata/zip_writer.h"

#include "platform/files.h"

#include <minizip/zip.h>

#include <cstdio>
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

static bool AddEntry(zipFile zip, const char* name, const std::string& data)
{
    if (data.size() > 0xFFFFFFFFu)
        return false;  // one write call carries the whole entry
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK)
        return false;
    bool ok = zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

// Written beside its path, which it replaces only once it is whole.
struct ZipStream {
    zipFile zip;
    bool ok;
    std::string path;
    std::string part;
};

ZipStream* OpenZipStream(const char* path)
{
    char resolved[512];
    ResolvePath(path, resolved, sizeof(resolved));
    std::string part = std::string(resolved) + ".part";
    std::remove(part.c_str());
    zipFile zip = zipOpen64(part.c_str(), APPEND_STATUS_CREATE);
    return zip == nullptr ? nullptr : new ZipStream{zip, true, resolved, part};
}

bool AddZipStreamEntry(ZipStream* stream, const char* name, const std::string& data)
{
    bool ok = IsContainedEntryName(name) && AddEntry(stream->zip, name, data);
    stream->ok = stream->ok && ok;
    return ok;
}

bool CloseZipStream(ZipStream* stream)
{
    if (stream == nullptr)
        return false;
    bool ok = zipClose(stream->zip, nullptr) == ZIP_OK && stream->ok;
    if (ok)
        ok = CommitReplacementFile(stream->part.c_str(), stream->path.c_str());
    else
        std::remove(stream->part.c_str());
    delete stream;
    return ok;
}

bool WriteZipArchive(const char* path, const std::vector<ZipWriterEntry>& entries)
{
    for (const ZipWriterEntry& entry : entries)
        if (!IsContainedEntryName(entry.name.c_str()))
            return false;
    ZipStream* stream = OpenZipStream(path);
    if (stream == nullptr)
        return false;
    for (const ZipWriterEntry& entry : entries)
        AddZipStreamEntry(stream, entry.name.c_str(), entry.data);
    return CloseZipStream(stream);
}
