// libFuzzer target for the binary navigation files (navaids, airports,
// fixes as in fixdat.bin, obstacles): whatever the bytes, the reader keeps
// only whole records, terminates every text, leaves an index that fits the
// records, and the range and name look-ups over the table stay inside it.
#include "navdata/nav_file_io.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

void CheckTexts(const NavaidRecord& r)
{
    Check(fuzz::IsTerminated(r.ident, sizeof r.ident) && fuzz::IsTerminated(r.extra1, sizeof r.extra1));
    Check(fuzz::IsTerminated(r.extra2, sizeof r.extra2) && fuzz::IsTerminated(r.name, sizeof r.name));
}
void CheckTexts(const AirportRecord& r)
{
    Check(fuzz::IsTerminated(r.runwayEnd1, sizeof r.runwayEnd1) && fuzz::IsTerminated(r.icao, sizeof r.icao));
    Check(fuzz::IsTerminated(r.runwayEnd2, sizeof r.runwayEnd2));
}
void CheckTexts(const FixRecord& r)
{
    Check(fuzz::IsTerminated(r.name, sizeof r.name));
}
void CheckTexts(const ObstacleRecord&) {}

// Longitude bands from the input's first bytes, the odd ones too.
double BandEdge(const uint8_t* data, size_t size, size_t at)
{
    static const double Odd[] = {NAN, INFINITY, -INFINITY, 1e300, -180.0, 179.999999, 180.0, -0.0};
    if (at >= size)
        return 0.0;
    if (data[at] >= 248)
        return Odd[data[at] - 248];
    return data[at] * 1.5 - 185.0;
}

template <class Record>
void ParseTable(const uint8_t* data, size_t size)
{
    static NavTable<Record> table;
    char problem[128];
    NavFileResult result = ParseNavFile(data, size, &table, problem, sizeof problem);
    Check(result == NavFileOk || result == NavFileDamaged);
    Check(fuzz::IsTerminated(problem, sizeof problem));
    size_t n = table.records.size();
    Check(n * sizeof(Record) + 4 <= size || n == 0);
    Check(IsLongitudeIndexSound(table.index, n));
    for (const Record& r : table.records)
        CheckTexts(r);
    for (size_t k = 0; k + 1 < 8; k += 2) {
        int32_t first = 0, last = 0;
        FindIndexRange(table.index, n, BandEdge(data, size, 4 + k), BandEdge(data, size, 5 + k), &first, &last);
        Check((first == -1 && last == -1) || (first >= 0 && last >= -1 && last < static_cast<int32_t>(n)));
    }
}

void LookUpFixes(const uint8_t* data, size_t size)
{
    static NavTable<FixRecord> fixes;
    ParseNavFile(data, size, &fixes, nullptr, 0);
    double lat = 0, lon = 0;
    for (const FixRecord& f : fixes.records) {
        Check(FindFixInTable(fixes.records.data(), fixes.records.size(), f.name, &lat, &lon) || f.name[0] == '\0');
        break;
    }
    FindFixInTable(fixes.records.data(), fixes.records.size(), "DEXEN", &lat, &lon);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseTable<NavaidRecord>(data, size);
    ParseTable<AirportRecord>(data, size);
    ParseTable<FixRecord>(data, size);
    ParseTable<ObstacleRecord>(data, size);
    LookUpFixes(data, size);
    return 0;
}
