// libFuzzer target for the airspace text "Airspace.txt" with its index and
// for the airway files: whatever the bytes, the loaders keep only airspaces
// and segments that hold together (a known class, a finite box, points and
// ends on the earth, at most the outline buffer's points, terminated texts),
// and a range from the index stays inside the text.
#include "navdata/airspace_file.h"
#include "navdata/airspaces.h"
#include "navdata/airway_file.h"
#include "navdata/airways.h"
#include "navdata/list_loader.h"
#include "tests/fuzz/fuzz_support.h"

#include <atomic>
#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

// A view of whole degrees from four bytes of the input, wide ones and ones
// across the antimeridian too.
WholeDegrees ViewFrom(const uint8_t* data, size_t size)
{
    uint8_t b[4] = {0, 0, 0, 0};
    std::memcpy(b, data, size < 4 ? size : 4);
    WholeDegrees view;
    view.latLow = b[0] % 181 - 90;
    view.latHigh = view.latLow + b[1] % 60 + 1;
    view.lonLow = b[2] * 2 - 250;
    view.lonHigh = view.lonLow + b[3] % 120 + 1;
    return view;
}

bool OnEarth(double lat, double lon)
{
    return std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

void LoadAirspaces(std::string_view text, std::string_view index, const WholeDegrees& view)
{
    static AirspaceText file;
    file.bytes.assign(text.begin(), text.end());
    file.cells = ParseAirspaceIndex(reinterpret_cast<const uint8_t*>(index.data()), index.size());
    file.hasIndex = !file.cells.empty();
    Check(file.cells.size() <= static_cast<size_t>(AirspaceIndexCells));
    size_t start = 0, end = 0;
    SelectAirspaceRange(file, view, &start, &end);
    // A view no cell meets gives an empty range, start past end.
    Check(start <= file.bytes.size() && end <= file.bytes.size());
    static std::vector<AirspaceRecord> out;
    out.clear();
    std::atomic<bool> stop{false};
    Check(LoadAirspacesInView(file, view, "ABCDEFGR", &out, stop));
    for (const AirspaceRecord& a : out) {
        Check(AirspaceClassIndex(a.airspaceClass) >= 0);
        Check(fuzz::IsTerminated(a.name, sizeof a.name) && fuzz::IsTerminated(a.lower, sizeof a.lower) &&
              fuzz::IsTerminated(a.upper, sizeof a.upper));
        Check(OnEarth(a.latMin, a.lonMin) && OnEarth(a.latMax, a.lonMax));
        Check(a.points.size() <= static_cast<size_t>(AirspaceMaxPoints));
        for (const AirspacePoint& p : a.points)
            Check(OnEarth(p.lat, p.lon));
    }
}

void CheckSegment(const AirwaySegment& s)
{
    Check(fuzz::IsTerminated(s.startIdent, sizeof s.startIdent) && fuzz::IsTerminated(s.endIdent, sizeof s.endIdent));
    Check(fuzz::IsTerminated(s.name, sizeof s.name));
    Check(OnEarth(s.startLat, s.startLon) && OnEarth(s.endLat, s.endLon));
    Check(s.course >= 0 && s.course <= M_PI);
}

// The text as the airway file of every degree of the view.
void LoadAirways(std::string_view text, const WholeDegrees& view)
{
    static std::string folder = [] {
        std::string f = fuzz::ScratchPath("HighAltitude");
        fuzz::MakeFolder(f);
        return f;
    }();
    static std::vector<std::string> written;
    for (const std::string& path : written)
        std::remove(path.c_str());
    written.clear();
    for (int degree : AirwayDegreeOrder(view)) {
        char name[32];
        FormatAirwayFileName(name, sizeof name, degree);
        written.push_back(folder + "/" + name);
        fuzz::WriteBytes(written.back(), text);
        if (written.size() >= 3)
            break;  // a few files show the merging; more only cost time
    }
    AirwayFolders folders;
    std::snprintf(folders.common, sizeof folders.common, "%s", folder.c_str());
    static std::vector<AirwaySegment> out;
    out.clear();
    std::atomic<bool> stop{false};
    Check(LoadAirwaysInView(folders, view, &out, stop));
    for (const AirwaySegment& s : out)
        CheckSegment(s);
}

// Each line of the text as one row.
void ParseRows(std::string_view text)
{
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        AirwaySegment s;
        if (ParseAirwayRow(line, &s)) {
            s.course = SegmentBearing(s);
            CheckSegment(s);
            SegmentHitsBox(50, 54, 8, 12, s);
        }
        AirspaceRecord a;
        int points = 0;
        const char* problem = nullptr;
        if (ParseAirspaceHeader(line, &a, &points, &problem) == AirspaceHeader::Ok)
            Check(AirspaceClassIndex(a.airspaceClass) >= 0 && points >= 0);
        AirspacePoint p;
        if (ParseAirspacePoint(line, &p))
            Check(OnEarth(p.lat, p.lon));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WholeDegrees view = ViewFrom(data, size);
    size_t skip = size < 4 ? size : 4;
    std::vector<std::string_view> parts = fuzz::SplitParts(data + skip, size - skip, 3);
    LoadAirspaces(parts[0], parts[1], view);
    LoadAirways(parts[2], view);
    ParseRows(parts[0]);
    ParseRows(parts[2]);
    return 0;
}
