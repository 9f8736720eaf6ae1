// libFuzzer target for the airport files: an airport's detail text in its
// per-letter archive with com.txt and taxi.txt beside it, and the index of
// charted airports "Airport.idx". Whatever the bytes, the tables stay within
// their limits with terminated texts, the announced counts match what was
// kept, and the look-ups over them give answers inside the tables.
#include "app/settings.h"
#include "maps/airport_charts.h"
#include "navdata/airport_details.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "navdata/zip_writer.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

void CheckDetail(const AirportDetail& d)
{
    Check(d.runways.size() <= MaxRunways && d.helipads.size() <= MaxHelipads);
    Check(d.pavements.size() <= MaxPavements && d.linearFeatures.size() <= MaxLinearFeatures);
    Check(d.features140.size() <= MaxFeatures140 && d.boundary.size() <= MaxBoundaryPoints);
    Check(d.parking.size() <= MaxParking && d.coms.size() <= MaxComRecords);
    Check(d.taxiNames.size() <= MaxTaxiNames);
    Check(fuzz::IsTerminated(d.header.icao, sizeof d.header.icao));
    for (const char(&name)[AirportNameSize] : d.header.names)
        Check(fuzz::IsTerminated(name, sizeof name));
    for (const std::vector<RunwayRecord>* list : {&d.runways, &d.helipads}) {
        for (const RunwayRecord& r : *list) {
            Check(fuzz::IsTerminated(r.designator1, sizeof r.designator1));
            Check(fuzz::IsTerminated(r.designator2, sizeof r.designator2));
            Check(fuzz::IsTerminated(r.ilsIdent1, sizeof r.ilsIdent1));
            Check(fuzz::IsTerminated(r.ilsIdent2, sizeof r.ilsIdent2));
        }
    }
    for (const PavementPolygon& p : d.pavements)
        Check(fuzz::IsTerminated(p.name, sizeof p.name) && p.points.size() <= static_cast<size_t>(p.pointCount));
    for (const LinearFeature& f : d.linearFeatures)
        Check(fuzz::IsTerminated(f.name, sizeof f.name));
    for (const Feature140& f : d.features140)
        Check(f.pointCount >= 0 && f.pointCount <= Feature140Points);
    for (const ParkingRecord& p : d.parking)
        Check(fuzz::IsTerminated(p.name, sizeof p.name));
    for (const ComRecord& c : d.coms)
        Check(fuzz::IsTerminated(c.name, sizeof c.name));
    for (const TaxiNameRecord& t : d.taxiNames)
        Check(fuzz::IsTerminated(t.name, sizeof t.name) && t.points.size() <= static_cast<size_t>(t.pointCount));
    Check(d.comTypeCountMax >= 0);
}

void LoadDetails(std::string_view entry, std::string_view com, std::string_view taxi)
{
    static const std::string root = fuzz::Scratch();
    static const bool folders = [] {
        for (const char* f : {"/Navdata", "/Navdata/MSFS", "/Navdata/MSFS/Default", "/Airports"})
            fuzz::MakeFolder(root + f);
        return true;
    }();
    (void)folders;
    Check(WriteZipArchive((root + "/Navdata/MSFS/Default/E.zip").c_str(),
                          {{"E/EDDH.txt", std::string(entry)}, {"E/EDHL.txt", "1 53 EDHL 3.0 53.8 10.7 A B C D\n"}}));
    fuzz::WriteBytes(root + "/Navdata/MSFS/com.txt", com);
    fuzz::WriteBytes(root + "/Navdata/taxi.txt", taxi);
    FreeAirportDetails();
    if (LoadAirportDetails("EDDH")) {
        const AirportDetail& d = GetAirportDetail();
        CheckDetail(d);
        int32_t elevation = 0;
        double distance = GetNearestRunwayEndDistance(10.0, 53.6, &elevation);
        Check(!std::isnan(distance) || d.runways.empty() == false);
        GetAirportElevation();
    }
    AirportHeader header;
    if (ReadAirportHeader("EDDH", &header))
        Check(fuzz::IsTerminated(header.icao, sizeof header.icao));
}

void LoadChartIndex(std::string_view index, const uint8_t* data, size_t size)
{
    fuzz::WriteBytes(fuzz::ScratchPath("Airports/Airport.idx"), index);
    SaveAirportIndex();  // forgets the one loaded before, writing it where it came from
    fuzz::WriteBytes(fuzz::ScratchPath("Airports/Airport.idx"), index);
    Check(LoadAirportIndex());
    int n = GetAirportIndexCount();
    Check(n >= 0);
    for (int i = 0; i < n && i < 64; ++i) {
        AirportIndexRecord r;
        Check(GetAirportIndexRecord(i, &r) && fuzz::IsTerminated(r.icao, sizeof r.icao));
    }
    double lat = size > 0 ? data[0] * 0.7 - 90 : 53.6, lon = size > 1 ? data[1] * 1.4 - 180 : 10.0;
    SelectAirportAtPosition(lat, lon);
    Check(std::strlen(GetSelectedChartAirport()) < 8);
    FindNearestChartedAirport();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    std::snprintf(DataFolder, sizeof DataFolder, "%s", fuzz::Scratch().c_str());
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string_view> parts = fuzz::SplitParts(data, size, 4);
    LoadDetails(parts[0], parts[1], parts[2]);
    LoadChartIndex(parts[3], data, size);
    return 0;
}
