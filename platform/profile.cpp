// Profile API: INI files read and written with Windows' rules, through a
// small cache of parsed files that is re-validated against the file on disk,
// and atomic rewrites (temporary file + rename) under one process-wide lock.
#include "platform/profile.h"

#include "platform/files.h"
#include "platform/sync.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A parsed file: its lines without terminators, and what identified it on
// disk when it was read, so that writes by other processes are noticed.
struct IniFile {
    std::string path;
    bool present = false;
    bool crlf = false;
    bool stable = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    unsigned long lastUse = 0;
    // In a write batch: the lines are the truth until the batch ends, and
    // the entry is neither re-read nor given up for another file.
    bool held = false;
    bool dirty = false;
    std::vector<std::string> lines;
};

constexpr size_t CacheSlots = 8;
// File times come from a coarse clock; a file modified less than this long
// before it was read may change again without a visible time change.
constexpr long StableAfterSeconds = 2;

std::mutex ProfileLock; // every call, from any thread
IniFile Cache[CacheSlots];
unsigned long UseCounter = 0;
void (*BeforeRenameHook)(const char* tempPath) = nullptr;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// [begin, end) of text with blanks trimmed off both ends.
void Trim(const char*& begin, const char*& end)
{
    while (begin < end && IsBlank(*begin))
        begin++;
    while (end > begin && IsBlank(end[-1]))
        end--;
}

bool SameText(const char* a, size_t length, const char* b)
{
    return strlen(b) == length && strncasecmp(a, b, length) == 0;
}

// Section name of a header line "[name]", or false when the line is none.
bool SectionOfLine(const std::string& line, const char** name, size_t* length)
{
    const char* begin = line.c_str();
    const char* end = begin + line.size();
    Trim(begin, end);
    if (begin == end || *begin != '[')
        return false;
    begin++;
    const char* close = static_cast<const char*>(memchr(begin, ']', static_cast<size_t>(end - begin)));
    if (close)
        end = close;
    Trim(begin, end);
    *name = begin;
    *length = static_cast<size_t>(end - begin);
    return true;
}

// Key of a line "key = value"; false for lines without '='.
bool KeyOfLine(const std::string& line, const char** key, size_t* length, const char** value)
{
    const char* begin = line.c_str();
    const char* equals = strchr(begin, '=');
    if (!equals)
        return false;
    const char* end = equals;
    Trim(begin, end);
    *key = begin;
    *length = static_cast<size_t>(end - begin);
    *value = equals + 1;
    return true;
}

bool IsSectionLine(const std::string& line)
{
    const char* name;
    size_t length;
    return SectionOfLine(line, &name, &length);
}

// Index of the first header line of section, or -1.
long FindSection(const IniFile& file, const char* section)
{
    for (size_t i = 0; i < file.lines.size(); i++) {
        const char* name;
        size_t length;
        if (SectionOfLine(file.lines[i], &name, &length) && SameText(name, length, section))
            return static_cast<long>(i);
    }
    return -1;
}

size_t SectionEnd(const IniFile& file, long header)
{
    size_t i = static_cast<size_t>(header) + 1;
    while (i < file.lines.size() && !IsSectionLine(file.lines[i]))
        i++;
    return i;
}

// Index of the first line of key within the section at header, or -1.
long FindKey(const IniFile& file, long header, const char* key)
{
    size_t end = SectionEnd(file, header);
    for (size_t i = static_cast<size_t>(header) + 1; i < end; i++) {
        const char* name;
        size_t length;
        const char* value;
        if (KeyOfLine(file.lines[i], &name, &length, &value) && SameText(name, length, key))
            return static_cast<long>(i);
    }
    return -1;
}

long long Nanoseconds(const timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

bool SameIdentity(const IniFile& file, const struct stat& st)
{
    return file.device == st.st_dev && file.inode == st.st_ino && file.size == st.st_size &&
           Nanoseconds(file.modified) == Nanoseconds(st.st_mtim) &&
           Nanoseconds(file.changed) == Nanoseconds(st.st_ctim);
}

void SplitLines(IniFile& file, const std::string& text)
{
    file.lines.clear();
    file.crlf = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') {
            stop--;
            if (file.lines.empty())
                file.crlf = true;
        }
        file.lines.emplace_back(text, start, stop - start);
        start = next;
    }
}

bool ReadWhole(int fd, off_t size, std::string* text)
{
    text->resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < text->size()) {
        ssize_t got = read(fd, &(*text)[done], text->size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    text->resize(done);
    return true;
}

// (Re)reads the file into entry when what is on disk differs from it.
void Refresh(IniFile& file)
{
    if (file.held)
        return;
    struct stat st;
    if (stat(file.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        file.present = false;
        file.stable = false;
        file.lines.clear();
        return;
    }
    if (file.present && file.stable && SameIdentity(file, st))
        return;
    int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0)
            close(fd);
        file.present = false;
        file.stable = false;
        file.lines.clear();
        return;
    }
    ReadWhole(fd, st.st_size, &text);
    close(fd);
    SplitLines(file, text);
    file.present = true;
    file.device = st.st_dev;
    file.inode = st.st_ino;
    file.size = st.st_size;
    file.modified = st.st_mtim;
    file.changed = st.st_ctim;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    file.stable = now.tv_sec - st.st_mtim.tv_sec > StableAfterSeconds &&
                  now.tv_sec - st.st_ctim.tv_sec > StableAfterSeconds &&
                  static_cast<off_t>(text.size()) == st.st_size;
}

// The cache entry of fileName, read or re-validated. Caller holds the lock.
IniFile& OpenIni(const char* fileName)
{
    char resolved[PATH_MAX];
    ResolvePath(fileName, resolved, sizeof resolved);
    // One entry per file however it is named (relative, through a symbolic
    // link): writes through a symbolic link go to the file it names.
    char target[PATH_MAX];
    if (realpath(resolved, target))
        strcpy(resolved, target);
    IniFile* slot = nullptr;
    for (IniFile& entry : Cache) {
        if (entry.path == resolved) {
            slot = &entry;
            break;
        }
        if (!entry.held && (!slot || entry.lastUse < slot->lastUse))
            slot = &entry;
    }
    if (!slot)
        slot = &Cache[0];
    if (slot->path != resolved) {
        *slot = IniFile();
        slot->path = resolved;
    }
    slot->lastUse = ++UseCounter;
    Refresh(*slot);
    return *slot;
}

void Forget(IniFile& file)
{
    file.present = false;
    file.stable = false;
    file.lines.clear();
}

std::string Serialise(const IniFile& file)
{
    const char* terminator = file.crlf ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : file.lines) {
        text += line;
        text += terminator;
    }
    return text;
}

// Replaces the file by the entry's lines, whole, so that readers see the
// old or the new file and never a part; a read-only file is left alone.
bool Store(IniFile& file)
{
    std::string text = Serialise(file);
    return ReplaceFileContents(file.path.c_str(), text.data(), text.size(), BeforeRenameHook);
}

void RemoveSection(IniFile& file, long header)
{
    size_t end = SectionEnd(file, header);
    file.lines.erase(file.lines.begin() + header, file.lines.begin() + static_cast<long>(end));
}

// A line break inside a written text would split the file's structure.
std::string OneLine(const char* text)
{
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return line;
}

void SetKey(IniFile& file, const char* section, const char* key, const char* value)
{
    std::string line = OneLine(key) + "=" + OneLine(value);
    long header = FindSection(file, section);
    if (header < 0) {
        file.lines.push_back("[" + OneLine(section) + "]");
        file.lines.push_back(line);
        return;
    }
    long at = FindKey(file, header, key);
    if (at >= 0) {
        file.lines[static_cast<size_t>(at)] = line;
        return;
    }
    // New keys go after the section's last non-blank line, keeping the
    // blank lines that separate it from the next section.
    size_t insert = SectionEnd(file, header);
    while (insert > static_cast<size_t>(header) + 1) {
        const std::string& previous = file.lines[insert - 1];
        const char* begin = previous.c_str();
        const char* end = begin + previous.size();
        Trim(begin, end);
        if (begin != end)
            break;
        insert--;
    }
    file.lines.insert(file.lines.begin() + static_cast<long>(insert), line);
}

// Copies text into out (size > 0) cut to size - 1 characters.
DWORD CopyCut(const char* text, size_t length, LPSTR out, DWORD size)
{
    if (length > size - 1)
        length = size - 1;
    memcpy(out, text, length);
    out[length] = '\0';
    return static_cast<DWORD>(length);
}

// A list of names, each NUL-terminated, the list ended by a second NUL; cut
// as Windows cuts it (the result is then size - 2).
DWORD CopyNameList(const std::vector<std::string>& names, LPSTR out, DWORD size)
{
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    size_t used = 0;
    for (const std::string& name : names) {
        if (used + name.size() + 1 > size - 1) {
            size_t room = used < size - 2 ? size - 2 - used : 0;
            memcpy(out + used, name.data(), room);
            out[size - 2] = '\0';
            out[size - 1] = '\0';
            return size - 2;
        }
        memcpy(out + used, name.c_str(), name.size() + 1);
        used += name.size() + 1;
    }
    out[used] = '\0';
    return static_cast<DWORD>(used);
}

std::vector<std::string> SectionNames(const IniFile& file)
{
    std::vector<std::string> names;
    for (const std::string& line : file.lines) {
        const char* name;
        size_t length;
        if (SectionOfLine(line, &name, &length))
            names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::string> KeyNames(const IniFile& file, const char* section)
{
    std::vector<std::string> names;
    long header = FindSection(file, section);
    if (header < 0)
        return names;
    size_t end = SectionEnd(file, header);
    for (size_t i = static_cast<size_t>(header) + 1; i < end; i++) {
        const char* key;
        size_t length;
        const char* value;
        if (KeyOfLine(file.lines[i], &key, &length, &value))
            names.emplace_back(key, length);
    }
    return names;
}

DWORD CopyDefault(LPCSTR defaultValue, LPSTR out, DWORD size)
{
    const char* text = defaultValue ? defaultValue : "";
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        length--;
    return CopyCut(text, length, out, size);
}

// Value text of a key line: trimmed, one pair of surrounding quotes removed.
void ValueOfLine(const char* value, const char** begin, size_t* length)
{
    const char* start = value;
    const char* end = value + strlen(value);
    Trim(start, end);
    if (end - start >= 2 && (*start == '"' || *start == '\'') && end[-1] == *start) {
        start++;
        end--;
    }
    *begin = start;
    *length = static_cast<size_t>(end - start);
}

// The runtime's text-to-integer conversion with base detection: optional
// sign, "0x" hexadecimal, "0o" octal, "0b" binary, else decimal; it stops at
// the first character that is no digit.
UINT ParseProfileInt(const char* text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    unsigned base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    } else if (text[0] == '0' && (text[1] == 'o' || text[1] == 'O')) {
        base = 8;
        text += 2;
    } else if (text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        text += 2;
    }
    UINT value = 0;
    for (;; text++) {
        unsigned digit;
        if (*text >= '0' && *text <= '9')
            digit = static_cast<unsigned>(*text - '0');
        else if (*text >= 'a' && *text <= 'f')
            digit = static_cast<unsigned>(*text - 'a' + 10);
        else if (*text >= 'A' && *text <= 'F')
            digit = static_cast<unsigned>(*text - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

} // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size,
                               LPCSTR fileName)
{
    if (!out || size == 0)
        return 0;
    if (!fileName)
        return CopyDefault(defaultValue, out, size);
    std::lock_guard<std::mutex> hold(ProfileLock);
    IniFile& file = OpenIni(fileName);
    if (!section)
        return CopyNameList(SectionNames(file), out, size);
    if (!key)
        return CopyNameList(KeyNames(file, section), out, size);
    long header = FindSection(file, section);
    long at = header < 0 ? -1 : FindKey(file, header, key);
    if (at < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return CopyDefault(defaultValue, out, size);
    }
    const char* name;
    size_t nameLength;
    const char* raw = "";
    KeyOfLine(file.lines[static_cast<size_t>(at)], &name, &nameLength, &raw);
    const char* value;
    size_t length;
    ValueOfLine(raw, &value, &length);
    return CopyCut(value, length, out, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName)
{
    char text[64];
    if (!section || !key || GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName) == 0)
        return static_cast<UINT>(defaultValue);
    return ParseProfileInt(text);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // All three missing only asks to flush the cache: nothing is held back.
    if (!section)
        return key || value ? FALSE : TRUE;
    std::lock_guard<std::mutex> hold(ProfileLock);
    IniFile& file = OpenIni(fileName);
    long header = FindSection(file, section);
    if (!key || !value) {
        if (header < 0)
            return TRUE;
        if (!key) {
            RemoveSection(file, header);
        } else {
            long at = FindKey(file, header, key);
            if (at < 0)
                return TRUE;
            file.lines.erase(file.lines.begin() + at);
        }
    } else {
        SetKey(file, section, key, value);
    }
    if (file.held) {
        file.dirty = true;
        return TRUE;
    }
    bool ok = Store(file);
    // Read back next time: the file just written has a recent time stamp.
    Forget(file);
    return ok ? TRUE : FALSE;
}

void BeginProfileWriteBatch(LPCSTR fileName)
{
    if (!fileName)
        return;
    std::lock_guard<std::mutex> hold(ProfileLock);
    IniFile& file = OpenIni(fileName);
    file.held = true;
}

BOOL EndProfileWriteBatch()
{
    std::lock_guard<std::mutex> hold(ProfileLock);
    bool ok = true;
    for (IniFile& file : Cache) {
        if (!file.held)
            continue;
        file.held = false;
        if (file.dirty)
            ok = Store(file) && ok;
        file.dirty = false;
        Forget(file);
    }
    return ok ? TRUE : FALSE;
}

void SetProfileBeforeRenameHook(void (*hook)(const char* tempPath))
{
    std::lock_guard<std::mutex> hold(ProfileLock);
    BeforeRenameHook = hook;
}

void WriteIniString(const char* value, const char* fileName, const char* section, const char* key)
{
    // Before the root is known there is no System folder to write into.
    if (!fileName || SystemFolder[0] == '\0')
        return;
    char path[600];
    snprintf(path, sizeof path, "%s/%s", SystemFolder, fileName);
    WritePrivateProfileStringA(section, key, value, path);
}
