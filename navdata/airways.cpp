// The airway loader: the files of a view's degrees, the segments that meet
// it, and the hand-over to the layer.
#include "navdata/airways.h"

#include "app/settings.h"
#include "navdata/nav_source.h"
#include "navdata/procedure_db.h"
#include "navdata/text_lines.h"
#include "platform/files.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_set>

namespace {

// Never destroyed: a loader still running at exit ends with the process.
ListLoader<AirwaySegment>& Loader = *new ListLoader<AirwaySegment>;

// The file of a degree in one folder; false when it does not open.
FILE* OpenAirwayFile(const char* folder, int degree, char* path, size_t size)
{
    if (!folder[0])
        return nullptr;
    char name[32];
    FormatAirwayFileName(name, sizeof(name), degree);
    if (!FormatText(path, size, "%s/%s", folder, name))
        return nullptr;
    return OpenFile(path, "rb");
}

FILE* OpenAirwayDegree(const AirwayFolders& folders, int degree, char* path, size_t size)
{
    FILE* f = OpenAirwayFile(folders.source, degree, path, size);
    return f ? f : OpenAirwayFile(folders.common, degree, path, size);
}

bool ReadAirwayFile(FILE* f, const WholeDegrees& view, std::unordered_set<std::string>* seen,
                    std::vector<AirwaySegment>* out, const std::atomic<bool>& stop)
{
    std::string line;
    int sinceCheck = 0;
    while (ReadTextLine(f, &line)) {
        if (++sinceCheck >= 256) {
            sinceCheck = 0;
            if (stop.load())
                return false;
        }
        AirwaySegment s;
        if (!ParseAirwayRow(line, &s))
            continue;
        if (!SegmentHitsBox(view.latLow, view.latHigh, view.lonLow, view.lonHigh, s))
            continue;
        // The files of all the degrees a segment crosses hold it.
        if (!seen->insert(line).second)
            continue;
        s.course = SegmentBearing(s);
        out->push_back(s);
    }
    return true;
}

}  // namespace

AirwayFolders GetAirwayFolders(int navAirways)
{
    AirwayFolders folders;
    const char* height = navAirways == 1 ? "HighAltitude" : navAirways == 2 ? "LowAltitude" : nullptr;
    if (!height)
        return folders;
    static const NavSource order[] = {NavSourceMSFS, NavSourceAFS2, NavSourceP3D,
                                      NavSourceXPL,  NavSourceFSX,  NavSourceFS9};
    NavSource source = PickNavSource(order, 6);
    if (source != NavSourceOpenAIP)
        FormatNavdataPath(folders.source, sizeof(folders.source), source, height);
    FormatText(folders.common, sizeof(folders.common), "%s/Navdata/%s", DataFolder, height);
    return folders;
}

void GetAirwayFilePath(char* destination, int degree, size_t size)
{
    if (size == 0)
        return;
    destination[0] = '\0';
    AirwayFolders folders = GetAirwayFolders(Settings.NavAirways);
    FILE* f = OpenAirwayDegree(folders, degree, destination, size);
    if (f) {
        std::fclose(f);
        return;
    }
    char name[32];
    FormatAirwayFileName(name, sizeof(name), degree);
    if (folders.common[0])
        FormatText(destination, size, "%s/%s", folders.common, name);
}

std::vector<int> AirwayDegreeOrder(const WholeDegrees& view)
{
    std::vector<int> order;
    std::unordered_set<int> taken;
    auto add = [&](int d) {
        if (taken.insert(WrapDegree(d)).second)
            order.push_back(d);
    };
    int mid = (view.lonLow + view.lonHigh) / 2;
    for (int d = mid; d < view.lonHigh && taken.size() < 360; ++d)
        add(d);
    for (int d = mid - 1; d >= view.lonLow && taken.size() < 360; --d)
        add(d);
    return order;
}

bool LoadAirwaysInView(const AirwayFolders& folders, const WholeDegrees& view, std::vector<AirwaySegment>* out,
                       const std::atomic<bool>& stop)
{
    std::unordered_set<std::string> seen;
    for (int degree : AirwayDegreeOrder(view)) {
        if (stop.load())
            return false;
        char path[600];
        FILE* f = OpenAirwayDegree(folders, WrapDegree(degree), path, sizeof(path));
        if (!f)
            continue;  // a degree without airways
        bool read = ReadAirwayFile(f, view, &seen, out, stop);
        std::fclose(f);
        if (!read)
            return false;
    }
    return true;
}

bool UpdateAirways(double latMin, double latMax, double lonMax, double lonMin)
{
    WholeDegrees view;
    if (!Loader.WantsStart(latMin, latMax, lonMin, lonMax, &view))
        return Loader.IsReady();
    AirwayFolders folders = GetAirwayFolders(Settings.NavAirways);
    Loader.Start(view, [folders, view](std::vector<AirwaySegment>* target, const std::atomic<bool>& stop) {
        std::vector<AirwaySegment>().swap(*target);
        return LoadAirwaysInView(folders, view, target, stop);
    });
    return Loader.IsReady();
}

void ClearAirways()
{
    Loader.Clear();
    Loader.RequestReload();
}

bool TakeNewAirwayList() { return Loader.TakeNewList(); }
const std::vector<AirwaySegment>& GetDrawnAirways() { return Loader.Drawn(); }
uint64_t GetDrawnAirwaysGeneration() { return Loader.Generation(); }
WholeDegrees GetDrawnAirwayView() { return Loader.DrawnView(); }
bool IsAirwayLoaderRunning() { return Loader.IsRunning(); }
void StopAirwayLoader() { Loader.Stop(); }

void ReleaseNavResources() { CloseNavdataDb(); }
