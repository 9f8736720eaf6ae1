// Reading and building the binary navigation files: the size checks, the
// longitude index and the range arithmetic over it.
#include "navdata/nav_file_io.h"

#include "platform/files.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>

static constexpr size_t CountSize = sizeof(int32_t);

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out)
{
    out->clear();
    FILE* f = OpenFile(path, "rb");
    if (f == nullptr)
        return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long length = ok ? std::ftell(f) : -1;
    ok = length >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out->resize(static_cast<size_t>(length));
        ok = std::fread(out->data(), 1, out->size(), f) == out->size();
    }
    std::fclose(f);
    if (!ok)
        out->clear();
    return ok;
}

bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes)
{
    char resolved[PATH_MAX];
    ResolvePath(path, resolved, sizeof resolved);
    return ReplaceFileContents(resolved, bytes.data(), bytes.size());
}

void BuildLongitudeIndex(const double* longitudes, size_t count, LongitudeIndex* index)
{
    // Records without a slot (west of -179.99.., NaN) sort first and are
    // reached by no range; the others fill the slots in order.
    size_t next = 0;
    for (int slot = 0; slot < LongitudeSlots; ++slot) {
        while (next < count && LongitudeSlot(longitudes[next]) < slot)
            ++next;
        index->first[slot] = static_cast<uint32_t>(next);
    }
}

bool IsLongitudeIndexSound(const LongitudeIndex& index, size_t count)
{
    uint32_t previous = 0;
    for (uint32_t value : index.first) {
        if (value < previous || value > count)
            return false;
        previous = value;
    }
    return true;
}

void FindIndexRange(const LongitudeIndex& index, size_t count, double lonA, double lonB, int32_t* first,
                    int32_t* last)
{
    *first = -1;
    *last = -1;
    if (lonA > lonB)
        std::swap(lonA, lonB);
    int slotA = LongitudeSlot(lonA);
    int slotB = LongitudeSlot(lonB);
    if (slotA < 0 || slotB < 0 || count == 0)
        return;
    // The end is the last record of the eastern degree, not its first one.
    uint32_t end = slotB + 1 < LongitudeSlots ? index.first[slotB + 1] : static_cast<uint32_t>(count);
    *first = static_cast<int32_t>(std::min<size_t>(index.first[slotA], count));
    *last = static_cast<int32_t>(std::min<size_t>(end, count)) - 1;
}

bool FindFixInTable(const FixRecord* fixes, size_t count, const char* ident, double* lat, double* lon)
{
    if (ident == nullptr || ident[0] == '\0')
        return false;
    if (std::strlen(ident) >= sizeof(FixRecord::name))
        return false;  // no stored name can be that long
    for (size_t i = 0; i < count; ++i) {
        const FixRecord& fix = fixes[i];
        if (std::strncmp(fix.name, ident, sizeof(fix.name)) == 0) {
            *lat = fix.lat;
            *lon = fix.lon;
            return true;
        }
    }
    return false;
}

template <size_t N>
static void Terminate(char (&text)[N])
{
    text[N - 1] = '\0';
}

void TerminateTexts(NavaidRecord* r)
{
    Terminate(r->ident);
    Terminate(r->extra1);
    Terminate(r->extra2);
    Terminate(r->name);
}

void TerminateTexts(AirportRecord* r)
{
    Terminate(r->runwayEnd1);
    Terminate(r->runwayEnd2);
    Terminate(r->icao);
}

void TerminateTexts(FixRecord* r)
{
    Terminate(r->name);
}

void TerminateTexts(ObstacleRecord*) {}

static bool IsOnEarth(double lat, double lon)
{
    return std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0;  // false for NaN too
}

static bool IsWithin(double value, double limit)
{
    return std::fabs(value) <= limit;
}

// Whether a record's numbers are ones a navigation file holds; a record with
// a position off the earth or a value that is no number is no record.
static bool IsRecordSound(const NavaidRecord& r)
{
    return IsOnEarth(r.lat, r.lon) && IsWithin(r.angle, 720.0) && IsWithin(r.magVar, 360.0);
}

static bool IsRecordSound(const AirportRecord& r)
{
    return IsOnEarth(r.latA, r.lonA) && IsOnEarth(r.latB, r.lonB) && IsWithin(r.runwayDirection, 100.0) &&
           IsWithin(r.runwayLength, 100000.0);
}

static bool IsRecordSound(const FixRecord& r)
{
    return IsOnEarth(r.lat, r.lon);
}

static bool IsRecordSound(const ObstacleRecord& r)
{
    return IsOnEarth(r.lat, r.lon);
}

__attribute__((format(printf, 3, 4))) static void SetProblem(char* problem, size_t size, const char* format, ...)
{
    if (problem == nullptr || size == 0)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(problem, size, format, args);
    va_end(args);
}

template <class Record>
static bool IsSortedByLongitude(const NavRecords<Record>& records)
{
    for (size_t i = 1; i < records.size(); ++i)
        if (RecordLongitude(records[i]) < RecordLongitude(records[i - 1]))
            return false;
    return true;
}

template <class Record>
static void RebuildIndex(NavTable<Record>* table)
{
    NavRecords<Record>& records = table->records;
    if (!IsSortedByLongitude(records)) {
        std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
            return RecordLongitude(a) < RecordLongitude(b);
        });
    }
    std::vector<double> longitudes(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        longitudes[i] = RecordLongitude(records[i]);
    BuildLongitudeIndex(longitudes.data(), longitudes.size(), &table->index);
}

// Reads n bytes at offset of a file image into out.
using ReadAt = std::function<bool(size_t offset, void* out, size_t n)>;

// The checks of a file image of `size` bytes, read piece by piece straight
// into the table, so a large file is never held twice.
template <class Record>
static NavFileResult LoadNavImage(size_t size, const ReadAt& readAt, NavTable<Record>* table, char* problem,
                                  size_t problemSize)
{
    table->records.clear();
    table->index = LongitudeIndex{};
    if (problem != nullptr && problemSize > 0)
        problem[0] = '\0';
    int32_t count = 0;
    if (size < CountSize || !readAt(0, &count, CountSize)) {
        SetProblem(problem, problemSize, "file of %zu bytes has no count", size);
        return NavFileDamaged;
    }
    if (count <= 0)
        return NavFileOk;

    size_t present = (size - CountSize) / sizeof(Record);
    size_t n = std::min(static_cast<size_t>(count), present);
    table->records.resize(n);
    if (n > 0 && !readAt(CountSize, table->records.data(), n * sizeof(Record))) {
        table->records.clear();
        SetProblem(problem, problemSize, "records cannot be read");
        return NavFileDamaged;
    }
    for (Record& r : table->records)
        TerminateTexts(&r);
    size_t dropped = std::erase_if(table->records, [](const Record& r) { return !IsRecordSound(r); });

    if (n < static_cast<size_t>(count)) {
        SetProblem(problem, problemSize, "count %d but only %zu records in the file (%zu of them off the earth)",
                   count, n, dropped);
        RebuildIndex(table);
        return NavFileDamaged;
    }
    if (dropped > 0) {
        // The index counts the records the file had: it is made anew.
        SetProblem(problem, problemSize, "%zu of %zu records lie off the earth or hold no numbers: left out", dropped,
                   n);
        RebuildIndex(table);
        return NavFileDamaged;
    }
    size_t indexOffset = CountSize + n * sizeof(Record);
    if (size - indexOffset < sizeof(LongitudeIndex) || !readAt(indexOffset, &table->index, sizeof(LongitudeIndex))) {
        SetProblem(problem, problemSize, "longitude index cut short after %zu records", n);
        RebuildIndex(table);
        return NavFileDamaged;
    }
    if (!IsLongitudeIndexSound(table->index, n)) {
        SetProblem(problem, problemSize, "longitude index does not fit %zu records", n);
        RebuildIndex(table);
        return NavFileDamaged;
    }
    return NavFileOk;
}

template <class Record>
NavFileResult ParseNavFile(const uint8_t* data, size_t size, NavTable<Record>* table, char* problem,
                           size_t problemSize)
{
    auto readAt = [&](size_t offset, void* out, size_t n) {
        std::memcpy(out, data + offset, n);  // offsets and sizes are checked against size before
        return true;
    };
    return LoadNavImage(size, readAt, table, problem, problemSize);
}

template <class Record>
NavFileResult ReadNavFile(const char* path, NavTable<Record>* table, char* problem, size_t problemSize)
{
    FILE* f = OpenFile(path, "rb");
    if (f == nullptr) {
        table->records.clear();
        table->index = LongitudeIndex{};
        return NavFileMissing;
    }
    long length = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    auto readAt = [&](size_t offset, void* out, size_t n) {
        return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
    };
    NavFileResult result = LoadNavImage(length < 0 ? 0 : static_cast<size_t>(length), readAt, table, problem,
                                        problemSize);
    std::fclose(f);
    return result;
}

template <class Record>
std::vector<uint8_t> BuildNavFile(std::vector<Record> records)
{
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return RecordLongitude(a) < RecordLongitude(b);
    });
    std::vector<double> longitudes(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        longitudes[i] = RecordLongitude(records[i]);
    LongitudeIndex index;
    BuildLongitudeIndex(longitudes.data(), longitudes.size(), &index);

    int32_t count = static_cast<int32_t>(records.size());
    std::vector<uint8_t> bytes(CountSize + records.size() * sizeof(Record) + sizeof(LongitudeIndex));
    std::memcpy(bytes.data(), &count, CountSize);
    if (!records.empty())
        std::memcpy(bytes.data() + CountSize, records.data(), records.size() * sizeof(Record));
    std::memcpy(bytes.data() + CountSize + records.size() * sizeof(Record), &index, sizeof(index));
    return bytes;
}

#define TVL_NAV_FILE_TYPES(Record)                                                                         \
    template NavFileResult ParseNavFile<Record>(const uint8_t*, size_t, NavTable<Record>*, char*, size_t); \
    template NavFileResult ReadNavFile<Record>(const char*, NavTable<Record>*, char*, size_t);             \
    template std::vector<uint8_t> BuildNavFile<Record>(std::vector<Record>);

TVL_NAV_FILE_TYPES(NavaidRecord)
TVL_NAV_FILE_TYPES(AirportRecord)
TVL_NAV_FILE_TYPES(FixRecord)
TVL_NAV_FILE_TYPES(ObstacleRecord)
