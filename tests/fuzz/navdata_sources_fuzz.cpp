// libFuzzer target for the navigation-data helper's source readers (apt.dat,
// nav.dat, fix.dat, OpenAir, awy.dat, a CIFP procedure file) and the build of
// a navigation folder from them. Whatever the bytes, what the readers keep
// lies on the earth, pavement areas become whole triangles, and the build
// either writes its files or says why not.
#include "airspace_sources.h"
#include "navdata_builder.h"
#include "procedure_sources.h"
#include "source_readers.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <filesystem>

using fuzz::Check;

namespace {

bool OnEarth(double lat, double lon)
{
    return std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

std::string Source(const char* name, std::string_view text)
{
    std::string path = fuzz::ScratchPath(std::string("src/") + name);
    fuzz::WriteBytes(path, text);
    return path;
}

void CheckAirport(SourceAirport& a)
{
    for (const SourceRunway& r : a.runways)
        Check(OnEarth(r.point[0].lat, r.point[0].lon) && OnEarth(r.point[1].lat, r.point[1].lon));
    for (const SourceHelipad& h : a.helipads)
        Check(OnEarth(h.point.lat, h.point.lon));
    for (const SourceParking& p : a.parking)
        Check(OnEarth(p.point.lat, p.point.lon));
    for (const SourcePavement& p : a.pavements) {
        for (const SourcePoint& q : p.points)
            Check(OnEarth(q.lat, q.lon));
        if (p.line)
            continue;
        std::vector<SourcePoint> triangles = TriangulateRing(p.points);
        Check(triangles.size() % 3 == 0 && triangles.size() <= 3 * (p.points.size() + 1));
        for (const SourcePoint& q : triangles)
            Check(OnEarth(q.lat, q.lon));
    }
}

void ReadSources(const std::vector<std::string_view>& parts)
{
    ReadCounts counts;
    std::vector<SourceAirport> airports;
    Check(ReadAptDat(Source("apt.dat", parts[0]).c_str(),
                     [&](SourceAirport& a) {
                         CheckAirport(a);
                         if (airports.size() < 4)
                             airports.push_back(a);
                     },
                     &counts));
    std::vector<SourceNavaid> navaids;
    Check(ReadNavDat(Source("nav.dat", parts[1]).c_str(), &navaids, &counts));
    for (const SourceNavaid& n : navaids)
        Check(OnEarth(n.lat, n.lon));
    std::vector<SourceFix> fixes;
    Check(ReadFixDat(Source("fix.dat", parts[2]).c_str(), &fixes, &counts));
    for (const SourceFix& f : fixes)
        Check(OnEarth(f.lat, f.lon));
    std::vector<AirspaceRecord> airspaces;
    Check(ReadOpenAir(Source("test.openair", parts[3]).c_str(), &airspaces, &counts));
    for (const AirspaceRecord& a : airspaces) {
        Check(a.points.size() >= 4 && a.points.size() <= static_cast<size_t>(AirspaceMaxPoints));
        for (const AirspacePoint& p : a.points)
            Check(OnEarth(p.lat, p.lon));
    }
    std::vector<AirwaySegment> high, low;
    std::string error;
    if (ReadAwyDat(Source("awy.dat", parts[4]).c_str(), &high, &low, &counts, &error)) {
        for (const std::vector<AirwaySegment>* list : {&high, &low})
            for (const AirwaySegment& s : *list)
                Check(OnEarth(s.startLat, s.startLon) && OnEarth(s.endLat, s.endLon));
    }
    std::filesystem::create_directories(fuzz::ScratchPath("src/CIFP"));
    std::vector<ProcedureLeg> legs;
    Check(ReadCifpFile(Source("CIFP/EDDH.dat", parts[5]).c_str(), &legs, &counts));
    FixPositions positions;
    for (const SourceFix& f : fixes)
        positions.Add(f.name, f.lat, f.lon);
    for (const SourceNavaid& n : navaids)
        positions.Add(n.ident, n.lat, n.lon);
    for (const SourceAirport& a : airports) {
        long dropped = 0;
        NavdataDbAirport built = BuildProcedureAirport(a, legs, positions, &dropped);
        for (const NavdataDbRoute& r : built.routes)
            for (const NavdataDbWaypoint& w : r.waypoints)
                Check(OnEarth(w.lat, w.lon));
    }
}

// The whole build into a fresh folder.
void Build()
{
    SourceFiles files;
    if (!FindSourceFiles(fuzz::ScratchPath("src"), &files))
        return;
    std::string out = fuzz::ScratchPath("Navdata");
    std::error_code ignored;
    std::filesystem::remove_all(out, ignored);
    std::filesystem::create_directories(out);
    BuildSummary summary;
    std::string error;
    if (!BuildNavdataFolders(files, out, {"MSFS"}, &summary, &error))
        Check(!error.empty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    std::filesystem::create_directories(fuzz::ScratchPath("src"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string_view> parts = fuzz::SplitParts(data, size, 6);
    ReadSources(parts);
    Build();
    return 0;
}
