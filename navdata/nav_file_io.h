// Reading and building the binary navigation files, shared by the map
// program, the navigation-data builder and the proxy's fix table. Nothing from
// a file is trusted: the count is checked against the file's size, the index
// against the count, and every text field ends with a NUL after reading.
#pragma once

#include "navdata/nav_records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

enum NavFileResult {
    NavFileOk = 0,
    NavFileMissing = 1,  // cannot be opened
    NavFileDamaged = 2,  // read, but not as its header says; what was sound is kept
};

// Leaves new elements uninitialised, so a table about to be read from a
// file is not zeroed first (a world's tables are tens of megabytes).
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <class Record>
using NavRecords = std::vector<Record, UninitializedAllocator<Record>>;

// One table as read from a file: records in file order and their index.
template <class Record>
struct NavTable {
    NavRecords<Record> records;
    LongitudeIndex index{};
};

// Parses a whole file image. A count of 0 or less gives an empty table. A
// count beyond the file's end keeps the whole records present; a missing or
// inconsistent index is rebuilt from the records. Records with a position
// off the earth (latitude beyond 90, longitude beyond 180) or a value that is
// no number are left out, and the index is rebuilt without them. `problem` (may be null)
// receives a short description when the result is NavFileDamaged.
template <class Record>
NavFileResult ParseNavFile(const uint8_t* data, size_t size, NavTable<Record>* table, char* problem,
                           size_t problemSize);

// Reads and parses a file.
template <class Record>
NavFileResult ReadNavFile(const char* path, NavTable<Record>* table, char* problem, size_t problemSize);

// Sorts the records by longitude and lays out the file image with its index.
template <class Record>
std::vector<uint8_t> BuildNavFile(std::vector<Record> records);

// Whole file into memory; false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* out);
bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes);

// The index of records sorted by `longitudes` (count values).
void BuildLongitudeIndex(const double* longitudes, size_t count, LongitudeIndex* index);
// True when the entries never decrease and none exceeds count.
bool IsLongitudeIndexSound(const LongitudeIndex& index, size_t count);

// The record range of the longitude band lonA..lonB (either order), first to
// last inclusive, over a table of `count` records: -1/-1 when either end has
// no slot or the table is empty; first > last when the band holds no record.
// The range runs to the last record of the eastern degree.
void FindIndexRange(const LongitudeIndex& index, size_t count, double lonA, double lonB, int32_t* first,
                    int32_t* last);

// First fix, in file order, whose name equals ident exactly; false for an
// empty ident or none.
bool FindFixInTable(const FixRecord* fixes, size_t count, const char* ident, double* lat, double* lon);

// Forces a NUL into the last byte of every text field.
void TerminateTexts(NavaidRecord* r);
void TerminateTexts(AirportRecord* r);
void TerminateTexts(FixRecord* r);
void TerminateTexts(ObstacleRecord* r);
